#pragma once

#include "wizard/MessageBoxes.h"

class QWidget;

namespace vornak::wizard {

class QtMessageBoxes : public MessageBoxes {
public:
    // parent: the window the boxes are centred on; may be null before it exists.
    explicit QtMessageBoxes(QWidget* parent = nullptr);
    void SetParent(QWidget* parent) { parent_ = parent; }
    void Show(const MessageBoxRequest& request) override;

private:
    QWidget* parent_;
};

} // namespace vornak::wizard
