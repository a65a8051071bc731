// The window's controls: their names, default texts and places.
#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
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

#include "core/Charsets.h"
#include "core/FileListModel.h"
#include "core/MessageTemplates.h"
#include "gui/LinkLabel.h"
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

QCheckBox* checkBox(QWidget* parent, const QString& text, int x, int y) {
    auto* c = new QCheckBox(text, parent);
    c->setGeometry(x, y, 280, 17);
    return c;
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
    idTabs = new QTabWidget(central);
    registerControl(idTabs, QStringLiteral("idTabs"));
    // Long captions from a language file are cut short, and scroll buttons
    // reach any tab that still does not fit.
    idTabs->setElideMode(Qt::ElideRight);
    idTabs->setUsesScrollButtons(true);
    idTabs->setIconSize(QSize(16, 16));
    v->addWidget(idTabs, 1);
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
    ProgressBar2 = bar("ProgressBar2", 16);  // files
    ProgressBar1 = bar("ProgressBar1", 17);  // bytes, or rows while listing
    setCentralWidget(central);

    auto* status = statusBar();
    registerControl(status, QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(true);
    StatusPanel0 = new QLabel(status);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(250);
    StatusPanel0->setTextFormat(Qt::PlainText);
    StatusPanel1 = new QLabel(status);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    StatusPanel1->setTextFormat(Qt::PlainText);
    // A fixed size spares the status bar a new layout at every new text.
    StatusPanel0->setFixedHeight(StatusPanel0->sizeHint().height());
    status->addWidget(StatusPanel0);
    status->addWidget(StatusPanel1, 1);

    buildPicturesPage();
    buildOptionsPage();
    buildLogPage();
    buildAboutPage();
    buildTemplates();
    idTabs->setCurrentIndex(0);
    fitToolBar();
}

void TForm1::fitToolBar() {
    // The window was drawn for narrower fonts than most Linux desktops have:
    // it grows, never shrinks, until the tool bar leaves the phone choice its
    // full width for "model [firmware]".
    int need = 0;
    QLayout* bar = ToolBar1->layout();
    for (int i = 0; i < bar->count(); ++i) {
        QWidget* w = bar->itemAt(i)->widget();
        if (w && !w->isHidden()) {
            need += w == ComboBox1 ? ComboBox1->maximumWidth() : w->sizeHint().width();
        }
    }
    const QMargins page = idList->layout()->contentsMargins();
    const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, idTabs);
    need += page.left() + page.right() + frame;
    if (width() < need && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        resize(need, height());
    }
}

void TForm1::buildPicturesPage() {
    ImageList1 = {QIcon(QStringLiteral(":/toolbar/download.png")),
                  QIcon(QStringLiteral(":/toolbar/delete.png")),
                  QIcon(QStringLiteral(":/toolbar/upload.png")),
                  QIcon(QStringLiteral(":/toolbar/refresh.png"))};

    idList = new QWidget;
    registerControl(idList, QStringLiteral("idList"));
    idTabs->addTab(idList, QIcon(QStringLiteral(":/tabs/pictures.png")),
                   QStringLiteral("Pictures"));
    auto* v = new QVBoxLayout(idList);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);

    ToolBar1 = new QWidget(idList);
    registerControl(ToolBar1, QStringLiteral("ToolBar1"));
    auto* bar = new QHBoxLayout(ToolBar1);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    struct Button {
        QToolButton** Member;
        const char* Name;
        const char* Caption;
        const char* Separator;
    };
    const Button buttons[] = {{&idDownload, "idDownload", "Download", "ToolButton4"},
                              {&idDelete, "idDelete", "Delete", "ToolButton5"},
                              {&idUpload, "idUpload", "Upload", "ToolButton7"},
                              {&idRefresh, "idRefresh", "Refresh", "ToolButton8"}};
    int picture = 0;
    for (const Button& b : buttons) {
        auto* button = new QToolButton(ToolBar1);
        *b.Member = button;
        registerControl(button, QString::fromLatin1(b.Name));
        button->setText(QString::fromLatin1(b.Caption));
        button->setIcon(ImageList1[picture++]);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setMinimumSize(54, 21);
        bar->addWidget(button);
        auto* sep = separator(ToolBar1);
        sep->setObjectName(QString::fromLatin1(b.Separator));
        bar->addWidget(sep);
    }
    ComboBox1 = new QComboBox(ToolBar1);
    registerControl(ComboBox1, QStringLiteral("ComboBox1"));
    ComboBox1->setMinimumWidth(90);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox1->setMinimumContentsLength(8);
    ComboBox1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    ComboBox1->setMaximumWidth(153);
    bar->addWidget(ComboBox1, 1);
    idDriveSelect = new QComboBox(ToolBar1);
    registerControl(idDriveSelect, QStringLiteral("idDriveSelect"));
    idDriveSelect->setFixedWidth(48);
    bar->addWidget(idDriveSelect);
    bar->addStretch(0);
    v->addWidget(ToolBar1);

    Panel3 = new QFrame(idList);
    registerControl(Panel3, QStringLiteral("Panel3"));
    Panel3->setProperty("caption", QString());
    Panel3->setFixedHeight(26);
    idUploadToC = new QLabel(QStringLiteral("Upload to:"), Panel3);
    registerControl(idUploadToC, QStringLiteral("idUploadToC"));
    idUploadToC->move(4, 6);
    idUploadToC->adjustSize();
    idUploadPath = new QComboBox(Panel3);
    registerControl(idUploadPath, QStringLiteral("idUploadPath"));
    idUploadPath->setEditable(true);
    // Only entries offered by a listing are upload folders; typed text is not.
    idUploadPath->setInsertPolicy(QComboBox::NoInsert);
    idUploadPath->setEditText(QStringLiteral("/a/"));
    idUploadPath->setGeometry(idUploadToC->x() + idUploadToC->width() + 5, 2, 200, 22);
    v->addWidget(Panel3);

    ListView1 = new QTreeView(idList);
    registerControl(ListView1, QStringLiteral("ListView1"));
    fileList_ = new TFileListModel(this);
    ListView1->setModel(fileList_);
    ListView1->setColumnWidth(TFileListModel::ColCaption, 30);
    ListView1->setColumnWidth(TFileListModel::ColName, 290);
    ListView1->setColumnWidth(TFileListModel::ColSize, 70);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSortingEnabled(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setMouseTracking(true);
    ListView1->setStyleSheet(
        QStringLiteral("QTreeView::item { border-right: 1px solid #d8d8d8;"
                       " border-bottom: 1px solid #d8d8d8; }"
                       "QTreeView::item:hover { text-decoration: underline; }"
                       // A style sheet that styles items must draw their
                       // selection itself, or selected rows show blank.
                       "QTreeView::item:selected { background: palette(highlight);"
                       " color: palette(highlighted-text); }"));
    ListView1->viewport()->setCursor(Qt::PointingHandCursor);
    v->addWidget(ListView1, 1);

    // The list's context menu.
    Neverdownloadthisfile1 = new QAction(QStringLiteral("Never download this file"), ListView1);
    registerControl(Neverdownloadthisfile1, QStringLiteral("Neverdownloadthisfile1"));
    ListView1->addAction(Neverdownloadthisfile1);
    ListView1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TForm1::buildOptionsPage() {
    idOptions = new QWidget;
    registerControl(idOptions, QStringLiteral("idOptions"));
    idTabs->addTab(idOptions, QIcon(QStringLiteral(":/tabs/options.png")),
                   QStringLiteral("Options"));
    QWidget* p = idOptions;

    idMode = label(p, QStringLiteral("Mode"), 8, 8);
    registerControl(idMode, QStringLiteral("idMode"));
    idModeSelect = new QComboBox(p);
    registerControl(idModeSelect, QStringLiteral("idModeSelect"));
    idModeSelect->addItems({QStringLiteral("Photo Manager"), QStringLiteral("File Manager")});
    idModeSelect->setCurrentIndex(0);
    idModeSelect->setGeometry(8, 24, 145, 22);

    idSaveImages = label(p, QStringLiteral("Save images in:"), 8, 54);
    registerControl(idSaveImages, QStringLiteral("idSaveImages"));
    Edit1 = new QLineEdit(QStringLiteral("c:\\"), p);
    registerControl(Edit1, QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    Edit1->setBackgroundRole(QPalette::Button);
    QPalette ep = Edit1->palette();
    ep.setColor(QPalette::Base, ep.color(QPalette::Button));
    Edit1->setPalette(ep);
    Edit1->setGeometry(8, 70, 249, 21);
    idBrowse = new QPushButton(QStringLiteral("..."), p);
    registerControl(idBrowse, QStringLiteral("idBrowse"));
    idBrowse->setGeometry(259, 70, 24, 21);

    idDownloadAll = checkBox(p, QStringLiteral("Download all photos on connect"), 8, 100);
    registerControl(idDownloadAll, QStringLiteral("idDownloadAll"));
    idOverwrite = checkBox(p, QStringLiteral("Overwrite exsisting"), 8, 120);
    registerControl(idOverwrite, QStringLiteral("idOverwrite"));
    idDeleteAfter = checkBox(p, QStringLiteral("Delete downloaded photos from phone"), 8, 140);
    registerControl(idDeleteAfter, QStringLiteral("idDeleteAfter"));
    idLoad = checkBox(p, QStringLiteral("Load with Windows"), 8, 160);
    registerControl(idLoad, QStringLiteral("idLoad"));
    idHide = checkBox(p, QStringLiteral("Hide on startup"), 8, 180);
    registerControl(idHide, QStringLiteral("idHide"));

    idLanguage = label(p, QStringLiteral("Language:"), 8, 206);
    registerControl(idLanguage, QStringLiteral("idLanguage"));
    idLanguageSel = new QComboBox(p);
    registerControl(idLanguageSel, QStringLiteral("idLanguageSel"));
    idLanguageSel->setGeometry(8, 222, 145, 22);
    info = new QPlainTextEdit(QStringLiteral(" "), p);
    registerControl(info, QStringLiteral("info"));
    info->setReadOnly(true);
    info->setFrameShadow(QFrame::Sunken);
    info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info->setGeometry(8, 248, 145, 57);

    idCharset = label(p, QStringLiteral("Font Charset:"), 170, 206);
    registerControl(idCharset, QStringLiteral("idCharset"));
    idCharsetSel = new QComboBox(p);
    registerControl(idCharsetSel, QStringLiteral("idCharsetSel"));
    for (const auto& c : CharsetTable) {
        idCharsetSel->addItem(QString::fromLatin1(c.Name));
    }
    idCharsetSel->setCurrentIndex(DefaultCharsetIndex);
    QFont fixed(QStringLiteral("Tahoma"));
    fixed.setPixelSize(11);
    idCharsetSel->setFont(fixed);
    idCharsetSel->setGeometry(170, 222, 150, 22);

    idLangContainer = new QPlainTextEdit(QStringLiteral("lang file container"), p);
    registerControl(idLangContainer, QStringLiteral("idLangContainer"));
    idLangContainer->hide();
    idLanguageList = new QListWidget(p);
    registerControl(idLanguageList, QStringLiteral("idLanguageList"));
    idLanguageList->setProperty("mask", QStringLiteral("*.lang"));
    idLanguageList->hide();
    Panel2 = new QFrame(p);
    registerControl(Panel2, QStringLiteral("Panel2"));
    Panel2->setProperty("caption", QStringLiteral("Panel2"));
    Panel2->hide();
}

void TForm1::buildLogPage() {
    idLog = new QWidget;
    registerControl(idLog, QStringLiteral("idLog"));
    idTabs->addTab(idLog, QIcon(QStringLiteral(":/tabs/log.png")), QStringLiteral("Log"));
    auto* v = new QVBoxLayout(idLog);
    v->setContentsMargins(0, 0, 0, 0);
    Log = new QPlainTextEdit(idLog);
    // The log is never replaced by a language file, so it is kept out of
    // the named controls a file can reach.
    Log->setObjectName(QStringLiteral("Log"));
    Log->setReadOnly(true);
    // Nothing is ever undone in the log; an undo record per line would only
    // grow with it.
    Log->setUndoRedoEnabled(false);
    Log->setLineWrapMode(QPlainTextEdit::NoWrap);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette lp = Log->palette();
    lp.setColor(QPalette::Base, lp.color(QPalette::Button));
    Log->setPalette(lp);
    v->addWidget(Log);
}

void TForm1::buildAboutPage() {
    idAbout = new QWidget;
    registerControl(idAbout, QStringLiteral("idAbout"));
    idTabs->addTab(idAbout, QIcon(QStringLiteral(":/tabs/about.png")), QStringLiteral("About"));
    QWidget* p = idAbout;

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
    link(&Label1, "Label1", QStringLiteral("snaprill@brenwick.example"), 120, 94);

    struct Line {
        const char* Name;
        const char* Text;
        TLinkLabel** Link;
        const char* LinkName;
        const char* Target;
    };
    const Line lines[] = {
        {"Label10", "For new versions check out ", &Label11, "Label11",
         "https://snaprill.brenwick.example/"},
        {"Label9", "The phone link components come from", &Label8, "Label8",
         "https://phonelink.brenwick.example/"},
        {"Label12", "The pictures were drawn for this program:", &Label13, "Label13",
         "https://snaprill.brenwick.example/art/"},
        {"Label5", "Seeking info about your Moto? Check out", &Label6, "Label6",
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

    connect(Label1, &TLinkLabel::clicked, this, [this] { Label1Click(Label1); });
    connect(Label6, &TLinkLabel::clicked, this, [this] { Label6Click(Label6); });
    connect(Label8, &TLinkLabel::clicked, this, [this] { Label8Click(Label8); });
    connect(Label11, &TLinkLabel::clicked, this, [this] { Label11Click(Label11); });
    connect(Label13, &TLinkLabel::clicked, this, [this] { Label13Click(Label13); });
}

void TForm1::buildTemplates() {
    for (const auto& t : MessageTemplates) {
        auto* l = new QLabel(QString::fromLatin1(t.Caption), Panel2);
        registerControl(l, QString::fromLatin1(t.Name));
    }
}

QFileDialog* TForm1::openDialog() {
    // Made on first use: a file dialog watches its folder from the moment it
    // exists, which would cost the window work for every file changing there.
    if (!OpenDialog1) {
        OpenDialog1 = new QFileDialog(this);
        OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
        OpenDialog1->setNameFilter(QStringLiteral("*.*"));
        OpenDialog1->setFileMode(QFileDialog::ExistingFiles);
        OpenDialog1->setOption(QFileDialog::ReadOnly, false);
    }
    return OpenDialog1;
}

void TForm1::buildComponents() {
    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->SetIcon(windowIcon());
    TrayIcon1->SetActive(true);
    TrayIcon1->SetToolTip(QStringLiteral("Snaprill by Brenwick"));
    TrayIcon1->OnClick = [this](QObject* Sender) { TrayIcon1Click(Sender); };
}
