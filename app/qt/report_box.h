#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tracksieve::app {

/// A message box whose informative text is a list that may be long: the list scrolls and the
/// box stays within the screen. Closes with its one button, Return or Escape.
class ReportBox : public QDialog {
public:
    ReportBox(bool critical, const QString& messageText, const QString& listText, QWidget* parent);

    QString messageText() const;
    QString listText() const;
    bool critical() const { return critical_; }
    QPushButton* okButton() const { return ok_; }
    QPlainTextEdit* list() const { return list_; }

private:
    bool critical_;
    QLabel* message_;
    QPlainTextEdit* list_;
    QPushButton* ok_;
};

}  // namespace tracksieve::app
