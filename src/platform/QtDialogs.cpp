#include "platform/QtDialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace hourlink {
namespace {

int RunCentred(QMessageBox& box) {
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}

void ShowWithOk(const QString& title, const std::string& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::NoButton);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    RunCentred(box);
}

} // namespace

QtDialogs::QtDialogs(QString applicationTitle) : m_title(std::move(applicationTitle)) {}

void QtDialogs::ShowMessage(const std::string& text) {
    ShowWithOk(m_title, text, QMessageBox::NoIcon);
}

void QtDialogs::ShowError(const std::string& text) {
    ShowWithOk(m_title, text, QMessageBox::Critical);
}

bool QtDialogs::AskYesNo(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    RunCentred(box);
    return box.clickedButton() == yes;
}

} // namespace hourlink
