#pragma once

#include "wizard/MapFileDialog.h"

class QWidget;

namespace vornak::wizard {

class QtMapFileDialog : public MapFileDialog {
public:
    explicit QtMapFileDialog(QWidget* parent = nullptr);
    void SetParent(QWidget* parent) { parent_ = parent; }

    void SetFilter(const QString& filter) override;
    void ShowOpen() override;
    QString FileName() const override { return fileName_; }
    QString FileTitle() const override;

private:
    QWidget* parent_;
    QString filter_;
    QString fileName_;
};

} // namespace vornak::wizard
