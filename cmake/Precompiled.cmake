# Precompiled headers: the library headers (the standard library's, Qt's,
# GoogleTest's) that nearly every file of a target includes, parsed once per
# target instead of once per file. Our own headers stay out, so that a change
# to one rebuilds only the files that include it. ccache caches the
# precompiled header and the files built with it (see the launcher's
# sloppiness). The fuzz build (clang) goes without; -DSNAPRILL_PCH=OFF builds
# without them, which shows a file that does not include what it uses.
option(SNAPRILL_PCH "Precompile the library headers of the test and window targets" ON)

set(SNAPRILL_PCH_STD <algorithm> <functional> <map> <memory> <string> <vector>)
set(SNAPRILL_PCH_QTCORE <QByteArray> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QObject>
    <QString> <QStringList> <QTemporaryDir>)
set(SNAPRILL_PCH_QTWIDGETS <QApplication> <QCheckBox> <QComboBox> <QFileDialog> <QLabel>
    <QLineEdit> <QMainWindow> <QMessageBox> <QProgressBar> <QPushButton> <QTabWidget>
    <QToolButton> <QTreeView> <QWidget>)
set(SNAPRILL_PCH_QTTEST <QTest>)
set(SNAPRILL_PCH_GTEST <gtest/gtest.h>)
set(SNAPRILL_PCH_BENCHMARK <benchmark/benchmark.h>)

# Precompiles the headers named for Target (lists of the sets above).
function(snaprill_pch target)
    if(SNAPRILL_PCH AND NOT SNAPRILL_FUZZ)
        foreach(set IN LISTS ARGN)
            target_precompile_headers(${target} PRIVATE ${SNAPRILL_PCH_${set}})
        endforeach()
    endif()
endfunction()
