#include "app/form_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

std::optional<Prompts::FormAnswer> showFormDialog(QWidget* parent, const Prompts::FormRequest& request)
{
    using Kind = Prompts::FormField::Kind;
    QDialog dialog(parent);
    dialog.setWindowTitle(request.caption);
    dialog.setObjectName("formDialog");
    auto* layout = new QVBoxLayout(&dialog);
    if (!request.text.isEmpty())
        layout->addWidget(new QLabel(QString(request.text).replace('|', '\n')));
    auto* form = new QFormLayout;
    layout->addLayout(form);
    std::vector<QWidget*> editors;
    for (const auto& field : request.fields) {
        QWidget* editor = nullptr;
        if (field.kind == Kind::Choice) {
            auto* box = new QComboBox;
            box->addItems(field.choices);
            if (!field.initial.isEmpty() && field.choices.contains(field.initial))
                box->setCurrentText(field.initial);
            editor = box;
        } else {
            auto* line = new QLineEdit(field.initial);
            if (field.kind == Kind::Masked)
                line->setEchoMode(QLineEdit::Password);
            editor = line;
        }
        editor->setObjectName(field.name);
        form->addRow(field.label, editor);
        editors.push_back(editor);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    Prompts::FormAnswer answer;
    for (std::size_t i = 0; i < editors.size(); ++i) {
        auto* line = qobject_cast<QLineEdit*>(editors[i]);
        const QString text = line ? line->text() : static_cast<QComboBox*>(editors[i])->currentText();
        if (accepted)
            answer.emplace(request.fields[i].name, SecretText(text.toStdString()));
        if (line)
            line->clear();  // the dialog keeps no passphrase
    }
    if (!accepted)
        return std::nullopt;
    return answer;
}
