#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include "core/app/tree/tree_filter.h"

namespace varda::gui {

class ConfigurationTree;

// The bar above the tree that finds parameters: a text matched against description, network name and
// value, quick filters for changed, differing and failed rows, and "12 of 430". Rows that do not match
// are hidden, the ancestors of a match opened, the matches highlighted. It filters again whenever the
// rows change (values read and written), so the filter stays while the exchange goes on.
class TreeFilterBar : public QWidget {
    Q_OBJECT
  public:
    TreeFilterBar(ConfigurationTree& tree, QWidget* parent = nullptr);

    // Shows the bar and puts the cursor in its text field (Ctrl+F).
    void start();
    // Empties the text and the quick filters: every row shows again.
    void clear();
    void apply();

    QLineEdit* text_field() const { return text_; }
    QToolButton* changed_button() const { return changed_; }
    QToolButton* differs_button() const { return differs_; }
    QToolButton* failed_button() const { return failed_; }
    QString count_text() const { return count_->text(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    FilterQuery query() const;
    void show_everything();

    ConfigurationTree& tree_;
    QLineEdit* text_;
    QToolButton* changed_;
    QToolButton* differs_;
    QToolButton* failed_;
    QLabel* count_;
    QTimer again_;           // the rows changed: filter again once they settle
    bool filtered_ = false;  // rows are hidden now
};

}  // namespace varda::gui
