#include "report_box.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>

namespace tracksieve::app {

ReportBox::ReportBox(bool critical, const QString& messageText, const QString& listText, QWidget* parent)
    : QDialog(parent), critical_(critical) {
    setWindowTitle(QStringLiteral("Tracksieve"));
    auto* icon = new QLabel;
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(
        style()
            ->standardIcon(critical ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxInformation, nullptr, this)
            .pixmap(iconSize, iconSize));
    message_ = new QLabel(messageText);
    list_ = new QPlainTextEdit(listText);
    list_->setReadOnly(true);
    list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(message_, 0, 1);
    grid->addWidget(list_, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);

    // As tall as the list needs, up to what the screen leaves for the rest of the box.
    const QFontMetrics metrics(list_->font());
    const int lines = static_cast<int>(list_->document()->blockCount());
    const int wanted = lines * metrics.lineSpacing() + 2 * list_->frameWidth() + 8;
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int available = screen ? screen->availableGeometry().height() : 600;
    const int room = available - 3 * message_->sizeHint().height() - ok_->sizeHint().height() - 120;
    list_->setFixedHeight(std::clamp(wanted, 3 * metrics.lineSpacing(), std::max(room, 3 * metrics.lineSpacing())));
    list_->setMinimumWidth(std::min(560, screen ? screen->availableGeometry().width() - 120 : 560));
    ok_->setFocus();
}

QString ReportBox::messageText() const { return message_->text(); }
QString ReportBox::listText() const { return list_->toPlainText(); }

}  // namespace tracksieve::app
