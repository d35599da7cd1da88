#pragma once

#include <QToolButton>

#include "core/app/connection/connection_status.h"

namespace varda::gui {

// The status bar's permanent connection indicator: port, baud rate, address, model and version, and the
// state with its colour. A click opens the connection settings (the owner connects `clicked`).
class ConnectionIndicator : public QToolButton {
    Q_OBJECT
  public:
    explicit ConnectionIndicator(QWidget* parent = nullptr);

    void show_status(const ConnectionStatus& status);
    LinkState state() const { return state_; }

  private:
    LinkState state_ = LinkState::Offline;
    QString shown_;
};

}  // namespace varda::gui
