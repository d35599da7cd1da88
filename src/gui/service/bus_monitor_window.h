#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>
#include <vector>

#include "core/link/frame_filter.h"
#include "core/link/frame_tap.h"
#include "core/link/frame_trace.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;
class QToolButton;

namespace varda {
class CTarnDoc;
}

namespace varda::gui {

// The decoded frames as rows; only those the filter lets through are shown.
class FrameTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        kTime,
        kDirection,
        kAddress,
        kName,
        kIndex,
        kAccess,
        kValue,
        kFailure,
        kReply,
        kBytes,
        kHex,
        kColumns
    };

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void append(std::vector<TraceLine> lines);
    void clear();
    void set_filter(FrameFilter filter);
    const TraceLine& line(int row) const { return lines_[shown_[static_cast<std::size_t>(row)]]; }
    std::size_t total() const { return lines_.size(); }

  private:
    std::vector<TraceLine> lines_;
    std::vector<std::size_t> shown_;  // rows: indexes into lines_
    FrameFilter filter_;
};

// Device ▸ "Bus monitor...": every frame on the line as it happens, decoded through the loaded
// description. The link only records while the window is open; decoding happens here, on a timer.
class BusMonitorWindow : public QWidget {
    Q_OBJECT
  public:
    explicit BusMonitorWindow(CTarnDoc& doc, QWidget* parent = nullptr);
    ~BusMonitorWindow() override;

    FrameTableModel& frames() { return model_; }
    QTableView* table() const { return table_; }
    // Takes what the line recorded since the last time (the timer does this every 100 ms).
    void pull();
    // The shown rows as trace lines.
    QString rows_text(bool selected_only) const;
    bool save_to(const QString& path, QString& error) const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void update_names();
    void update_counts();

    CTarnDoc& doc_;
    FrameRecorder recorder_;
    FrameNames names_;
    FrameDecoder decoder_;
    std::uint64_t seen_ = 0;
    const void* named_tree_ = nullptr;
    FrameTableModel model_;
    QTableView* table_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QCheckBox* failures_ = nullptr;
    QCheckBox* follow_ = nullptr;
    QToolButton* pause_ = nullptr;
    QLabel* counts_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace varda::gui
