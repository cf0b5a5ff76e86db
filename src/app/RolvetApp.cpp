#include "app/RolvetApp.h"

#include "common/Strings.h"
#include "document/Prompts.h"
#include "document/RolvetDoc.h"

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>
#include <QStringList>

int CRolvetApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(rolvet::str::kAppTitle));

    CRolvetDoc doc;
    QMainWindow window;
    auto updateTitle = [&] {
        window.setWindowTitle(doc.Title() + " - " + QString::fromUtf8(rolvet::str::kWindowTitle));
    };
    QObject::connect(&doc, &CRolvetDoc::titleChanged, &window, updateTitle);
    doc.OnNewDocument();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        const QString path = QFileInfo(args.at(1)).absoluteFilePath();
        if (auto error = doc.OnOpenDocument(path)) {
            Prompts().ShowMessage(nullptr, QString::fromStdString(rolvet::TrackErrorMessage(error)));
            return 1;
        }
    }
    updateTitle();
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
