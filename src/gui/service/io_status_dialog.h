#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/app/service/io_status.h"
#include "gui/tree/table_ctrl.h"

namespace varda {
class CTarnDoc;
}

namespace varda::gui {

// A numbered lamp: a bordered box with its number in the middle, coloured by a state text it does not
// show.
class IoLamp : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kInputId = 108;
    static constexpr int kOutputId = 109;

    IoLamp(IoSide side, int number, QWidget* parent = nullptr);
    IoSide side() const { return side_; }
    int number() const { return number_; }
    const std::string& state() const { return state_; }
    // Repaints only when the state changes.
    void set_state(const std::string& state);
    LampColour colour() const { return lamp_colour(side_, state_); }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    IoSide side_;
    int number_;
    std::string state_;
};

// A caption bar: a grey vertical gradient with the text in white, centred.
class GradientCaption : public QWidget {
    Q_OBJECT
  public:
    explicit GradientCaption(const QString& text, QWidget* parent = nullptr);
    QString text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
};

// A table of the I/O status dialog: a click on "Reset" resets the row's counter, and an output value is
// edited in place and written at once; polling leaves the row alone while its editor is open.
class IoStateTable : public ReportTable {
    Q_OBJECT
  public:
    static constexpr int kStateRowHeight = 20;

    IoStateTable(IoStatusController& controller, IoSide side, QWidget* parent = nullptr);
    IoSide side() const { return side_; }
    // Shows the row as the controller has it now.
    void ShowRow(int row, const IoTable::Row& cells);
    // From now on the table leaves the controller alone: an editor still open is dropped, not written.
    void Detach();

  protected:
    void CellAction(int row, int column) override;
    // Keeps polling away from the row before the editor takes the parameter's value.
    TableEditor EditorFor(int row, int column) const override;
    void CommitText(int row, int column, const QString& text) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    // Enter on a cell without an editor goes on to the dialog, which closes.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    IoStatusController& controller_;
    IoSide side_;
    mutable int editing_row_ = -1;
    bool detached_ = false;
};

// "I/O status": the live state of a module's inputs and outputs, each side with its numbered lamps and its
// table. A thin view over IoStatusController, whose thread polls the module; it is closed by Escape,
// Enter or the close box, once the thread has finished its current read.
class IoStatusWindow : public QDialog, private IoStatusView {
    Q_OBJECT
  public:
    explicit IoStatusWindow(CTarnDoc& doc, QWidget* parent = nullptr,
                            std::chrono::milliseconds poll_interval = IoStatusController::kPollInterval);
    ~IoStatusWindow() override;

    // The document's "I/O status..." command: runs the dialog modally.
    static void Open(CTarnDoc& doc, QWidget* parent);

    IoStatusController& controller() { return *controller_; }
    IoStateTable* table(IoSide side) const { return tables_[index(side)]; }
    GradientCaption* caption(IoSide side) const { return captions_[index(side)]; }
    const std::vector<IoLamp*>& lamps(IoSide side) const { return lamps_[index(side)]; }

  public slots:
    // Every way of closing takes this step.
    void done(int result) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    static int index(IoSide side) { return side == IoSide::Inputs ? 0 : 1; }
    void lay_out();
    void create_lamps(IoSide side, int base_x, int base_y);

    // IoStatusView: called from the polling thread, handed over to the window's thread.
    void row_changed(IoSide side, int row, const IoTable::Row& cells) override;
    void lamp_changed(IoSide side, int lamp, const std::string& state) override;
    void polling_ended() override;

    std::unique_ptr<IoStatusController> controller_;
    std::array<GradientCaption*, 2> captions_{};
    std::array<IoStateTable*, 2> tables_{};
    std::array<std::vector<IoLamp*>, 2> lamps_;
};

}  // namespace varda::gui
