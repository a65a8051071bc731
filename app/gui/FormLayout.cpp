// The window's controls: their names, default texts and places.
#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include "core/session/FileListModel.h"
#include "core/settings/Charsets.h"
#include "core/settings/LogModel.h"
#include "core/settings/MessageTemplates.h"
#include "gui/ElidedLabel.h"
#include "gui/FileListView.h"
#include "gui/FileRowDelegate.h"
#include "gui/LinkLabel.h"
#include "gui/LogView.h"
#include "gui/TForm1.h"
#include "gui/TrayIcon.h"

// The pictures are compiled into this static library; its resource
// initialiser must be called, or the linker leaves it out.
static void initPictures() {
    Q_INIT_RESOURCE(snaprill);
}

namespace {

// The texts of these controls are drawn in a font of their own, with the
// Cyrillic code page, whatever charset the window uses.
constexpr int FixedCyrillicCharset = 204;

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 72, 96, 128}) {
        icon.addFile(QStringLiteral(":/icons/snaprill-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedWidth(6);
    return line;
}

QLabel* label(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

void TForm1::registerControl(QObject* Control, const QString& Name) {
    Control->setObjectName(Name);
    // Texts come from language files and phones: never read as markup.
    if (auto* l = qobject_cast<QLabel*>(Control)) {
        l->setTextFormat(Qt::PlainText);
    }
    controls_.insert(Name.toLower(), Control);
}

void TForm1::buildWindow() {
    initPictures();
    setWindowIcon(programIcon());
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    resize(469, 370);
    setMinimumSize(450, 370);

    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    tabs_ = new QTabWidget(central);
    registerControl(tabs_, QStringLiteral("idTabs"));
    // Long captions from a language file are cut short, and scroll buttons
    // reach any tab that still does not fit.
    tabs_->setElideMode(Qt::ElideRight);
    tabs_->setUsesScrollButtons(true);
    tabs_->setIconSize(QSize(16, 16));
    v->addWidget(tabs_, 1);
    // Smooth bars drawn flat: the style's rounded, shaded bar costs about a
    // millisecond a frame, more than a block of a transfer.
    auto bar = [&](const char* Name, int Height) {
        auto* b = new QProgressBar(central);
        registerControl(b, QString::fromLatin1(Name));
        b->setFixedHeight(Height);
        b->setTextVisible(false);
        b->setStyleSheet(QStringLiteral(
            "QProgressBar { border: 1px solid palette(mid); background: palette(base); }"
            "QProgressBar::chunk { background: palette(highlight); }"));
        b->hide();
        v->addWidget(b);
        return b;
    };
    filesBar_ = bar("ProgressBar2", 16);  // files
    bytesBar_ = bar("ProgressBar1", 17);  // bytes, or rows while listing
    setCentralWidget(central);

    auto* status = statusBar();
    registerControl(status, QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(true);
    // Panel 0 cuts a long message short with "…"; its tooltip holds the whole.
    messagePanel_ = new TElidedLabel(status);
    messagePanel_->setObjectName(QStringLiteral("StatusPanel0"));
    messagePanel_->setFixedWidth(250);
    messagePanel_->setTextFormat(Qt::PlainText);
    freeSpacePanel_ = new QLabel(status);
    freeSpacePanel_->setObjectName(QStringLiteral("StatusPanel1"));
    freeSpacePanel_->setMinimumWidth(50);
    freeSpacePanel_->setTextFormat(Qt::PlainText);
    // A fixed size spares the status bar a new layout at every new text.
    messagePanel_->setFixedHeight(messagePanel_->sizeHint().height());
    status->addWidget(messagePanel_);
    status->addWidget(freeSpacePanel_, 1);
    // Speed and time left, at the right end while a transfer runs.
    ratePanel_ = new QLabel(status);
    ratePanel_->setObjectName(QStringLiteral("StatusPanel2"));
    ratePanel_->setTextFormat(Qt::PlainText);
    ratePanel_->setFixedHeight(messagePanel_->height());
    ratePanel_->hide();
    status->addPermanentWidget(ratePanel_);

    buildPicturesPage();
    buildOptionsPage();
    buildLogPage();
    buildAboutPage();
    buildTemplates();
    buildPreviews();
    tabs_->setCurrentIndex(0);
    fitToolBar();
    renderTips();
}

void TForm1::fitToolBar() {
    // The window was drawn for narrower fonts than most Linux desktops have:
    // it grows, never shrinks, until the tool bar leaves the phone choice its
    // full width for "model [firmware]".
    int need = 0;
    QLayout* bar = toolBar_->layout();
    for (int i = 0; i < bar->count(); ++i) {
        QWidget* w = bar->itemAt(i)->widget();
        if (w && !w->isHidden()) {
            need += w == phoneChoice_ ? phoneChoice_->maximumWidth() : w->sizeHint().width();
        }
    }
    const QMargins page = picturesPage_->layout()->contentsMargins();
    const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs_);
    need += page.left() + page.right() + frame;
    if (width() < need && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        resize(need, height());
    }
}

void TForm1::buildPicturesPage() {
    toolIcons_ = {QIcon(QStringLiteral(":/toolbar/download.png")),
                  QIcon(QStringLiteral(":/toolbar/delete.png")),
                  QIcon(QStringLiteral(":/toolbar/upload.png")),
                  QIcon(QStringLiteral(":/toolbar/refresh.png"))};

    picturesPage_ = new QWidget;
    registerControl(picturesPage_, QStringLiteral("idList"));
    tabs_->addTab(picturesPage_, QIcon(QStringLiteral(":/tabs/pictures.png")),
                  QStringLiteral("Pictures"));
    auto* v = new QVBoxLayout(picturesPage_);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);

    toolBar_ = new QWidget(picturesPage_);
    registerControl(toolBar_, QStringLiteral("ToolBar1"));
    auto* bar = new QHBoxLayout(toolBar_);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    struct Button {
        QToolButton** Member;
        const char* Name;
        const char* Caption;
        const char* Separator;
    };
    const Button buttons[] = {{&downloadButton_, "idDownload", "Download", "ToolButton4"},
                              {&deleteButton_, "idDelete", "Delete", "ToolButton5"},
                              {&uploadButton_, "idUpload", "Upload", "ToolButton7"},
                              {&refreshButton_, "idRefresh", "Refresh", "ToolButton8"}};
    int picture = 0;
    for (const Button& b : buttons) {
        auto* button = new QToolButton(toolBar_);
        *b.Member = button;
        registerControl(button, QString::fromLatin1(b.Name));
        button->setText(QString::fromLatin1(b.Caption));
        button->setIcon(toolIcons_[picture++]);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setMinimumSize(54, 21);
        bar->addWidget(button);
        auto* sep = separator(toolBar_);
        sep->setObjectName(QString::fromLatin1(b.Separator));
        bar->addWidget(sep);
    }
    // Stop ends a running transfer; it is the one control of the page
    // usable while a download runs.
    stopButton_ = new QToolButton(toolBar_);
    registerControl(stopButton_, QStringLiteral("idStop"));
    stopButton_->setText(QStringLiteral("Stop"));
    stopButton_->setIcon(style()->standardIcon(QStyle::SP_BrowserStop));
    stopButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    stopButton_->setAutoRaise(true);
    stopButton_->setMinimumSize(54, 21);
    stopButton_->setEnabled(false);
    bar->addWidget(stopButton_);
    auto* stopSep = separator(toolBar_);
    stopSep->setObjectName(QStringLiteral("StopSeparator"));
    bar->addWidget(stopSep);
    phoneChoice_ = new QComboBox(toolBar_);
    registerControl(phoneChoice_, QStringLiteral("ComboBox1"));
    phoneChoice_->setMinimumWidth(90);
    phoneChoice_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    phoneChoice_->setMinimumContentsLength(8);
    phoneChoice_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    phoneChoice_->setMaximumWidth(153);
    bar->addWidget(phoneChoice_, 1);
    driveChoice_ = new QComboBox(toolBar_);
    registerControl(driveChoice_, QStringLiteral("idDriveSelect"));
    driveChoice_->setFixedWidth(48);
    bar->addWidget(driveChoice_);
    bar->addStretch(0);
    v->addWidget(toolBar_);

    uploadRow_ = new QFrame(picturesPage_);
    registerControl(uploadRow_, QStringLiteral("Panel3"));
    uploadRow_->setProperty("caption", QString());
    uploadRow_->setFixedHeight(26);
    uploadToLabel_ = new QLabel(QStringLiteral("Upload to:"), uploadRow_);
    registerControl(uploadToLabel_, QStringLiteral("idUploadToC"));
    uploadToLabel_->move(4, 6);
    uploadToLabel_->adjustSize();
    uploadFolderBox_ = new QComboBox(uploadRow_);
    registerControl(uploadFolderBox_, QStringLiteral("idUploadPath"));
    uploadFolderBox_->setEditable(true);
    // Only entries offered by a listing are upload folders; typed text is not.
    uploadFolderBox_->setInsertPolicy(QComboBox::NoInsert);
    uploadFolderBox_->setEditText(QStringLiteral("/a/"));
    uploadFolderBox_->setGeometry(uploadToLabel_->x() + uploadToLabel_->width() + 5, 2, 200, 22);
    v->addWidget(uploadRow_);

    fileView_ = new TFileListView(picturesPage_);
    registerControl(fileView_, QStringLiteral("ListView1"));
    fileView_->setModel(&session_->FileList());
    fileView_->setColumnWidth(TFileListModel::ColCaption, 30);
    fileView_->setColumnWidth(TFileListModel::ColName, nameWidth_);
    fileView_->setColumnWidth(TFileListModel::ColSize, 70);
    fileView_->header()->setSectionsClickable(false);
    fileView_->header()->setSectionsMovable(false);
    fileView_->header()->setStretchLastSection(false);
    fileView_->setRootIsDecorated(false);
    fileView_->setItemsExpandable(false);
    fileView_->setUniformRowHeights(true);
    fileView_->setSortingEnabled(false);
    fileView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileView_->setMouseTracking(true);
    fileView_->setStyleSheet(
        QStringLiteral("QTreeView::item { border-right: 1px solid #d8d8d8;"
                       " border-bottom: 1px solid #d8d8d8; }"
                       "QTreeView::item:hover { text-decoration: underline; }"
                       // A style sheet that styles items must draw their
                       // selection itself, or selected rows show blank. Its
                       // text is the highlight's anyway; a colour set here
                       // would also paint the check marks, white on white.
                       "QTreeView::item:selected { background: palette(highlight); }"));
    fileView_->viewport()->setCursor(Qt::PointingHandCursor);
    fileView_->setItemDelegate(new TFileRowDelegate(
        [this] { return skipDownloadedBox_ && skipDownloadedBox_->isChecked(); }, fileView_));
    watchColumns();
    v->addWidget(fileView_, 1);

    // The list's context menu.
    neverDownloadAction_ = new QAction(QStringLiteral("Never download this file"), fileView_);
    registerControl(neverDownloadAction_, QStringLiteral("Neverdownloadthisfile1"));
    fileView_->addAction(neverDownloadAction_);
    fileView_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TForm1::buildLogPage() {
    logPage_ = new QWidget;
    registerControl(logPage_, QStringLiteral("idLog"));
    tabs_->addTab(logPage_, QIcon(QStringLiteral(":/tabs/log.png")), QStringLiteral("Log"));
    auto* v = new QVBoxLayout(logPage_);
    v->setContentsMargins(0, 0, 0, 0);
    // Lines formatted from a template are kept as the template and its
    // arguments, and formatted as the window formats its messages.
    logModel_ = new TLogModel(
        [this](const char* Name, const QByteArray* Raw, const QList<TMessageArg>& Args) {
            return render({Name, Args, Raw ? std::optional(*Raw) : std::nullopt});
        },
        this);
    logView_ = new TLogView(logPage_);
    // The log is never replaced by a language file, so it is kept out of
    // the named controls a file can reach.
    logView_->setObjectName(QStringLiteral("Log"));
    logView_->setModel(logModel_);
    logView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette lp = logView_->palette();
    lp.setColor(QPalette::Base, lp.color(QPalette::Button));
    logView_->setPalette(lp);
    v->addWidget(logView_);
    buildLogMenu();
}

void TForm1::buildAboutPage() {
    aboutPage_ = new QWidget;
    registerControl(aboutPage_, QStringLiteral("idAbout"));
    tabs_->addTab(aboutPage_, QIcon(QStringLiteral(":/tabs/about.png")), QStringLiteral("About"));
    QWidget* p = aboutPage_;

    auto* picture = new QLabel(p);
    registerControl(picture, QStringLiteral("Image1"));
    picture->setPixmap(QPixmap(QStringLiteral(":/about/about.png")));
    picture->setGeometry(8, 8, 96, 96);

    auto fixedFont = [](int pixels, bool bold) {
        QFont f(QStringLiteral("Tahoma"));
        f.setPixelSize(pixels);
        f.setBold(bold);
        return f;
    };
    auto* name = label(p, QStringLiteral("Snaprill"), 116, 8);
    registerControl(name, QStringLiteral("Label2"));
    name->setFont(fixedFont(37, true));
    name->setProperty("fixedCharset", FixedCyrillicCharset);
    name->adjustSize();
    auto* version = label(p, QStringLiteral("v0.21"), 120, 58);
    registerControl(version, QStringLiteral("Label3"));
    QFont bold = font();
    bold.setBold(true);
    version->setFont(bold);
    version->adjustSize();
    auto* author = label(p, QStringLiteral("by Brenwick"), 120, 76);
    registerControl(author, QStringLiteral("Label4"));
    author->setFont(fixedFont(11, true));
    author->setProperty("fixedCharset", FixedCyrillicCharset);
    author->adjustSize();

    QFont linkFont = fixedFont(11, true);
    linkFont.setUnderline(true);
    auto link = [&](TLinkLabel** member, const char* objectName, const QString& text, int x,
                    int y) {
        auto* l = new TLinkLabel(p);
        registerControl(l, QString::fromLatin1(objectName));
        l->setText(text);
        l->setFont(linkFont);
        l->setProperty("fixedCharset", FixedCyrillicCharset);
        l->move(x, y);
        l->adjustSize();
        *member = l;
    };
    link(&mailLink_, "Label1", QStringLiteral("snaprill@brenwick.example"), 120, 94);

    struct Line {
        const char* Name;
        const char* Text;
        TLinkLabel** Link;
        const char* LinkName;
        const char* Target;
    };
    const Line lines[] = {
        {"Label10", "For new versions check out ", &homeLink_, "Label11",
         "https://snaprill.brenwick.example/"},
        {"Label9", "The phone link components come from", &componentsLink_, "Label8",
         "https://phonelink.brenwick.example/"},
        {"Label12", "The pictures were drawn for this program:", &artLink_, "Label13",
         "https://snaprill.brenwick.example/art/"},
        {"Label5", "Seeking info about your Moto? Check out", &ownersLink_, "Label6",
         "https://p2k-owners.example/"},
    };
    int y = 118;
    for (const Line& l : lines) {
        auto* text = label(p, QString::fromLatin1(l.Text), 8, y);
        registerControl(text, QString::fromLatin1(l.Name));
        link(l.Link, l.LinkName, QString::fromLatin1(l.Target), 8, y + 15);
        y += 36;
    }
    auto* tools = label(p, QStringLiteral("Written in C++ with Qt 6 Widgets"), 8, y);
    registerControl(tools, QStringLiteral("Label7"));

    connect(mailLink_, &TLinkLabel::clicked, this, [this] {
        if (config_.OpenUrl) {
            config_.OpenUrl(QUrl(QStringLiteral("mailto:") + mailLink_->text().trimmed()));
        }
    });
    for (TLinkLabel* l : {ownersLink_, componentsLink_, homeLink_, artLink_}) {
        connect(l, &TLinkLabel::clicked, this, [this, l] { openLink(l->text()); });
    }
}

void TForm1::buildTemplates() {
    for (const auto& t : MessageTemplates) {
        auto* l = new QLabel(QString::fromUtf8(t.Caption), templatePanel_);
        registerControl(l, QString::fromLatin1(t.Name));
    }
}

QFileDialog* TForm1::openDialog() {
    // Made on first use: a file dialog watches its folder from the moment it
    // exists, which would cost the window work for every file changing there.
    if (!openDialog_) {
        openDialog_ = new QFileDialog(this);
        openDialog_->setObjectName(QStringLiteral("OpenDialog1"));
        // One filter shown as "*.*" that matches every file: the pattern
        // "*.*" itself would leave out the names without a dot.
        openDialog_->setNameFilter(QStringLiteral("*.* (*)"));
        openDialog_->setOption(QFileDialog::HideNameFilterDetails, true);
        openDialog_->setFileMode(QFileDialog::ExistingFiles);
        openDialog_->setOption(QFileDialog::ReadOnly, false);
        // The file name's completion list is a window of its own: it goes
        // with the dialog, and a folder that finishes loading after the
        // dialog closed cannot show it again (the line edit takes its
        // completer back when it next has the focus).
        connect(openDialog_, &QDialog::finished, openDialog_, [this] {
            for (auto* edit : openDialog_->findChildren<QLineEdit*>()) {
                if (QCompleter* c = edit->completer()) {
                    c->popup()->hide();
                    c->setWidget(nullptr);
                }
            }
        });
    }
    return openDialog_;
}

void TForm1::buildTray() {
    tray_ = new TTrayIcon(this);
    tray_->setObjectName(QStringLiteral("TrayIcon1"));
    tray_->SetIcon(windowIcon());
    tray_->SetActive(true);
    tray_->SetToolTip(QStringLiteral("Snaprill by Brenwick"));
    tray_->OnClick = [this](QObject*) { trayClicked(); };
    tray_->OnShowHide = [this](QObject*) { trayClicked(); };
    tray_->OnQuit = [this](QObject*) { quitProgram(); };
    tray_->OnMenu = [this](QObject*) { nameTrayMenu(); };
    nameTrayMenu();
}
