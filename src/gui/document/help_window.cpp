#include "gui/document/help_window.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "core/app/files/paths.h"
#include "core/model/network_elements.h"
#include "core/platform/strings.h"
#include "gui/platform/qt_text.h"

#ifndef VARDA_BUILD
#define VARDA_BUILD "local"
#endif

namespace varda::gui {

namespace {
constexpr int kStringSoftwareVersion = 151;
}  // namespace

UserGuideWindow::UserGuideWindow(const QString& path, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("user_guide"));
    setWindowTitle(tr("%1 user guide").arg(qtext(program_info().product_name)));
    auto* layout = new QVBoxLayout(this);
    browser_ = new QTextBrowser(this);
    // Links inside the guide stay here; a link to the web goes to the browser.
    browser_->setOpenExternalLinks(true);
    browser_->setSource(QUrl::fromLocalFile(path));
    layout->addWidget(browser_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(760, 640);
}

void open_user_guide(QWidget* parent) {
    static QPointer<UserGuideWindow> window;
    const QString path = qtext(user_guide_path());
    if (path.isEmpty()) {
        QMessageBox::warning(parent, qtext(str(kAppTitle)),
                             QObject::tr("The user guide (guide.html) is not installed beside the program "
                                         "nor in share/doc/varda."));
        return;
    }
    if (!window) {
        window = new UserGuideWindow(path, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void show_about(QWidget* parent) {
    const ProgramInfo& info = program_info();
    const QString name = qtext(info.product_name).toHtmlEscaped();
    QMessageBox::about(parent, QObject::tr("About %1").arg(name),
                       QStringLiteral("<b>%1</b><p>%2%3<br>%4</p><p>%5</p>")
                           .arg(name, qtext(str(kStringSoftwareVersion)).toHtmlEscaped(),
                                qtext(info.version).toHtmlEscaped(),
                                QObject::tr("Build %1").arg(QStringLiteral(VARDA_BUILD)).toHtmlEscaped(),
                                qtext(info.copyright).toHtmlEscaped()));
}

}  // namespace varda::gui
