#pragma once
// The About box, filled from the program's own version record.
#include <QDialog>

namespace kx9 {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);
};

} // namespace kx9
