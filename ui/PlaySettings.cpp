#include "PlaySettings.h"

#include "NoteName.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

double PlaySettings::frequency() const
{
    return NoteFrequency(note.toStdString()).value_or(130.8128);
}

QString PlaySettings::pitch() const
{
    return QStringLiteral("%1 (%2 Hz)").arg(note).arg(frequency(), 0, 'f', 2);
}

bool AskPlaySettings(QWidget* parent, PlaySettings& settings)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Play Settings"));
    auto* note = new QLineEdit(settings.note, &dialog);
    note->setObjectName(QStringLiteral("note"));
    note->setToolTip(QStringLiteral("The pitch as a note name: C3, F#2, Bb5; A4 is 440 Hz, C4 middle C"));
    auto* level = new QDoubleSpinBox(&dialog);
    level->setObjectName(QStringLiteral("level"));
    level->setRange(kLowestLevelDb, kHighestLevelDb);
    level->setDecimals(1);
    level->setSuffix(QStringLiteral(" dB"));
    level->setValue(settings.levelDb);
    level->setToolTip(QStringLiteral("The level, from -96 dB to full scale (0 dB)"));
    auto* refusal = new QLabel(&dialog);
    refusal->setObjectName(QStringLiteral("refusal"));
    refusal->setTextFormat(Qt::PlainText);
    refusal->setWordWrap(true);
    // Room for the refusal's rule in a few lines.
    refusal->setMinimumWidth(refusal->fontMetrics().averageCharWidth() * 48);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(QStringLiteral("&Note:"), note);
    form->addRow(QStringLiteral("&Level:"), level);
    form->addRow(refusal);
    form->addRow(buttons);
    const auto check = [&] {
        const QString name = note->text().trimmed();
        const bool valid = NoteFrequency(name.toStdString()).has_value();
        refusal->setText(valid ? QString() : name + " is not a note name: " + kNoteNameRule);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(valid);
        dialog.adjustSize();  // the rule's lines, or none
    };
    QObject::connect(note, &QLineEdit::textChanged, &dialog, check);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    check();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings.note = note->text().trimmed();
    settings.levelDb = level->value();
    return true;
}
