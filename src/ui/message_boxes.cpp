// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_boxes.h"

#include <QMessageBox>

namespace varkelon {

void QtDialogs::message_box(MessageIcon icon, const std::string& title, const std::string& text) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::Critical:
        qicon = QMessageBox::Critical;
        break;
    case MessageIcon::Exclamation:
        qicon = QMessageBox::Warning;
        break;
    case MessageIcon::None:
        break;
    }
    QMessageBox box(qicon, QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText); // the texts are shown exactly, blanks and quotes included
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace varkelon
