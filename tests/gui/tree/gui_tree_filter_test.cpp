// Finding parameters in a large tree: Ctrl+F opens the filter bar over a VK15 tree, rows that do not match
// hide, matches show highlighted with their ancestors open, the quick filters keep changed rows, Escape
// brings everything back; a parameter row's tool tip says what the parameter is.
#include <QLineEdit>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "core/model/elements.h"
#include "core/model/parameter.h"
#include "gui/tree/tree_filter_bar.h"
#include "gui/tree/tree_view.h"
#include "tests/support/gui_test_support.h"
#include "tests/support/main_window_rig.h"

using namespace varda;
using namespace varda::test;

namespace {

constexpr int kVK15 = 15;

void collect(const DescBranch& branch, std::vector<Parameter*>& out) {
    for (const auto& p : branch.parameters)
        out.push_back(p.get());
    for (const auto& child : branch.children)
        collect(*child, out);
}

bool row_shown(gui::ConfigurationTree& tree, TreeItem item) {
    for (TreeItem row = item; row; row = tree.tree_model().parent_item(row)) {
        const QModelIndex index = tree.tree_model().index_of(row);
        if (tree.isRowHidden(index.row(), index.parent())) return false;
        const TreeItem parent = tree.tree_model().parent_item(row);
        if (parent && !tree.isExpanded(tree.tree_model().index_of(parent))) return false;
    }
    return true;
}

QWidget* shown_tool_tip() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible()) return w;
    return nullptr;
}

// The main window with the tree of a VK15 over its simulated module.
struct Vk15Window {
    std::unique_ptr<MainWindowRig> rig;
    gui::ConfigurationTreePane* view = nullptr;

    bool show() {
        auto module = served_module(kVK15);
        if (!module) return false;
        rig = std::make_unique<MainWindowRig>(module, CBrandRavelin());
        view = new gui::ConfigurationTreePane(*rig->doc);
        rig->window->set_tree_view(view);
        rig->window->resize(1200, 800);
        rig->window->show();
        if (!QTest::qWaitForWindowExposed(rig->window.get()) || !rig->connect()) return false;
        view->rebuild();
        return true;
    }
};

}  // namespace

class TreeFilterTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
    }

    void findsParametersInALargeTree() {
        Vk15Window vk15;
        QVERIFY(vk15.show());
        MainWindowRig& rig = *vk15.rig;
        gui::ConfigurationTreePane* view = vk15.view;
        QVERIFY(rig.doc->read_all());
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));

        std::vector<Parameter*> parameters;
        collect(*rig.doc->root(), parameters);
        QVERIFY(parameters.size() > 100);
        // A parameter of a numbered group, so that the name matches in several branches.
        Parameter* target = nullptr;
        for (Parameter* p : parameters)
            if (p->indexed && p->tree_item) target = p;
        QVERIFY(target);
        int same_name = 0;
        for (Parameter* p : parameters)
            same_name += p->network_name() == target->network_name() && p->tree_item;

        gui::TreeFilterBar& bar = view->filter_bar();
        gui::ConfigurationTree& tree = view->tree();
        QVERIFY(!bar.isVisible());
        QTest::keyClick(rig.window.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar.isVisible());
        QVERIFY(bar.text_field()->hasFocus());
        QTest::keyClicks(bar.text_field(), QString::fromStdString(target->network_name()).toLower());

        QVERIFY(row_shown(tree, target->tree_item));
        QVERIFY(view->model().highlighted.count(target->tree_item));
        int shown = 0;
        for (Parameter* p : parameters)
            shown += p->tree_item && row_shown(tree, p->tree_item);
        QVERIFY2(shown < static_cast<int>(parameters.size()) / 2, "most rows should be hidden");
        QVERIFY(bar.count_text().startsWith(QString::number(same_name) + " of "));
        save_screenshot(rig.window->grab(), "tree_filter");

        // Two values edited: the quick filter "Changed" keeps exactly those.
        QVERIFY(parameters[3]->AcceptValue(parameters[3]->value_text()));
        QVERIFY(parameters[7]->AcceptValue(parameters[7]->value_text()));
        view->update_rows();
        bar.text_field()->clear();
        bar.changed_button()->click();
        QVERIFY(bar.count_text().startsWith(QStringLiteral("2 of ")));
        QVERIFY(row_shown(tree, parameters[7]->tree_item));
        QVERIFY(!row_shown(tree, target->tree_item) || target == parameters[3] || target == parameters[7]);

        // Escape clears: every row is there again.
        QTest::keyClick(bar.text_field(), Qt::Key_Escape);
        QVERIFY(!bar.changed_button()->isChecked());
        QVERIFY(bar.count_text().isEmpty());
        const QModelIndex index = view->model().index_of(target->tree_item);
        QVERIFY(!tree.isRowHidden(index.row(), index.parent()));
        QVERIFY(view->model().highlighted.empty());
    }

    void aParameterRowsToolTipSaysWhatItIs() {
        Vk15Window vk15;
        QVERIFY(vk15.show());
        MainWindowRig& rig = *vk15.rig;
        gui::ConfigurationTreePane* view = vk15.view;
        std::vector<Parameter*> parameters;
        collect(*rig.doc->root(), parameters);
        Parameter* target = nullptr;
        for (Parameter* p : parameters)
            if (p->tree_item && !p->is_scanner() && p->indexed) target = p;
        QVERIFY(target);
        QCOMPARE(rig.doc->device().read_parameter(*target, false), 0);
        view->update_rows();

        gui::ConfigurationTree& tree = view->tree();
        for (TreeItem row = view->model().parent_item(target->tree_item); row;
             row = view->model().parent_item(row))
            tree.expand_quietly(row);
        tree.scrollTo(view->model().index_of(target->tree_item));
        QCoreApplication::processEvents();
        const QPoint at = tree.cell_rect(target->tree_item, kColumnName).center();
        QTest::mouseMove(tree.viewport(), at);
        QMouseEvent move(QEvent::MouseMove, at, tree.viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(tree.viewport(), &move);
        QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), 3000);
        const QString tip = QToolTip::text();
        QVERIFY2(tip.contains(QStringLiteral("Name: ") + QString::fromStdString(target->network_name())),
                 qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("Read from the module: ")), qPrintable(tip));
        if (QWidget* label = shown_tool_tip()) {
            QPixmap picture(tree.viewport()->size());
            picture.fill(Qt::white);
            QPainter painter(&picture);
            painter.drawPixmap(0, 0, tree.viewport()->grab());
            const QPixmap tip_picture = label->grab();
            const int x = std::min(at.x(), picture.width() - tip_picture.width());
            painter.drawPixmap(x, std::max(0, at.y() - tip_picture.height() - 8), tip_picture);
            painter.end();
            save_screenshot(picture, "tree_tool_tip");
        }
    }

  private:
    QTemporaryDir settings_dir_;
};

QTEST_MAIN(TreeFilterTest)
#include "gui_tree_filter_test.moc"
