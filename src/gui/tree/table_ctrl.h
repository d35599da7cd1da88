#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTableWidget>
#include <cstdint>
#include <vector>

#include "core/app/tree/table_edit.h"

namespace varda {
class ObjectWithParameters;
class Parameter;
}  // namespace varda

namespace varda::gui {

// The program's report table: rows of cells that carry an object (usually a Parameter owned by whoever
// fills the table) and state flags (cell_flags) that decide colour and editability. The selection never
// stops on a disabled row; a parameter's value is edited in place with an edit box or a drop-down list.
class ReportTable : public QTableWidget {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 18;
    static constexpr int kMaxVisibleRows = 16;

    explicit ReportTable(QWidget* parent = nullptr);
    ~ReportTable() override;

    // The columns: captions and their shares of the width.
    void SetColumns(const QStringList& captions, const std::vector<int>& proportions);
    // Appends a row with these texts; returns its index.
    int AddRow(const QStringList& texts);
    void SetCellText(int row, int column, const QString& text);
    QString CellText(int row, int column) const;

    // Column -1: every column of the row.
    virtual void SetCellObject(int row, int column, Parameter* object, std::uint16_t flags = 0);
    virtual Parameter* GetCellObject(int row, int column) const;
    // Column -1: the union over the row.
    virtual std::uint16_t GetCellFlags(int row, int column) const;
    // Changes the bits of `mask` to those of `value` (column -1: every column).
    virtual void SetCellFlags(int row, int column, std::uint16_t value, std::uint16_t mask);
    bool RowDisabled(int row) const { return GetCellFlags(row, -1) & cell_flags::kDisabled; }

    void SetRowValue(int row, qlonglong value);
    qlonglong RowValue(int row) const;

    // Makes the control as high as its rows (of the default row height), at most kMaxVisibleRows of them,
    // plus the header.
    void FitHeight();

    // What a double-click or Enter on a cell does: opens its editor when the flags allow; true when one
    // was opened.
    bool ActivateCell(int row, int column);
    // Whether committed editor texts reach the cells.
    void SetCommitEnabled(bool on) { commit_enabled_ = on; }

    // The open editor, if any (for tests and for whoever types into it).
    QLineEdit* edit_box() const { return qobject_cast<QLineEdit*>(editor_.data()); }
    QComboBox* drop_down() const { return qobject_cast<QComboBox*>(editor_.data()); }
    // The cell of the last left button press, (-1, -1) when none.
    int pressed_row() const { return pressed_row_; }
    int pressed_column() const { return pressed_column_; }

  signals:
    // A cell was activated, whether or not it opened an editor.
    void cell_activated(int row, int column);

  protected:
    // A push-button cell was clicked.
    virtual void CellAction(int row, int column);
    // An editor has been opened on a cell.
    virtual void EditorOpened(int row, int column);
    // An editor's text is committed: by default it becomes the cell parameter's value text and the cell
    // shows the value text the parameter ends up with.
    virtual void CommitText(int row, int column, const QString& text);
    // The editor for a cell; by default the one its parameter's type asks for.
    virtual TableEditor EditorFor(int row, int column) const;
    // Which cell of the row an activation edits.
    virtual int EditorColumn(int /*row*/, int column) const { return column; }

    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class Delegate;
    friend class Delegate;

    struct Cell {
        Parameter* object = nullptr;
        std::uint16_t flags = 0;
    };

    QTableWidgetItem* item_at(int row, int column) const;
    void apply_column_widths();
    QWidget* create_editor(QWidget* parent, int row, int column);
    void commit_editor(QWidget* editor);

    std::vector<int> proportions_;
    bool commit_enabled_ = true;
    int pressed_row_ = -1;
    int pressed_column_ = -1;
    Delegate* delegate_ = nullptr;
    QPointer<QWidget> editor_;
    TableEditor editing_;  // the choice behind the open editor
    int edit_row_ = -1;
    int edit_column_ = -1;
};

// The connection dialog's settings: "Serial port settings" and "Value", one row per parameter of the
// configurator's own network element; activating a row edits its value. The port is chosen from the serial
// devices present when the list opens, or typed as a device path.
class ConnectionSettingsTable : public ReportTable {
    Q_OBJECT
  public:
    explicit ConnectionSettingsTable(QWidget* parent = nullptr);

    void Fill(ObjectWithParameters& network);
    // Shows the parameter's current value text in its row.
    void ShowValue(const Parameter& parameter);
    int RowOf(const Parameter& parameter) const;

  protected:
    TableEditor EditorFor(int row, int column) const override;
    int EditorColumn(int /*row*/, int /*column*/) const override { return 1; }
};

// A drop-down list filled from numbered user-interface texts.
class NumberedTextCombo : public QComboBox {
    Q_OBJECT
  public:
    explicit NumberedTextCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
    // Replaces the entries with the texts of `first_id` and the `count - 1` numbers after it.
    void Fill(int first_id, int count);
};

}  // namespace varda::gui
