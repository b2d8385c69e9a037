// The window's tools for shaping waves: the Shape menu, over the big view's
// wave or the selected slots when the bank has focus; Bank > Fill Between;
// and Wave > Save Wave As.... Every change is one step of the bank's undo
// stack; the view's own steps are the window's to make (View::change). Each
// ends with a line for the status line.
#pragma once

#include "WaveMorph.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class BankModel;
class BankPanel;
class QMenu;
class QMenuBar;
class QUndoStack;
class QWidget;

class WaveTools : public QObject
{
    Q_OBJECT

public:
    struct View
    {
        QWidget* widget;
        // Makes `wave` the big view's, edited, as one undo step called `what`.
        std::function<void(const Wave16& wave, const QString& what)> change;
    };

    WaveTools(View view, BankModel& model, QUndoStack& undo, BankPanel& panel);

    // Shape after the Wave menu; Fill Between in the Bank menu; Save Wave
    // As... in `wave`.
    void addMenus(QMenuBar& bar, QMenu& wave);

signals:
    // What an action came to, for the status line.
    void said(const QString& text);

public slots:
    void shape(const std::function<void(Wave16&)>& how, const QString& what);
    void fillBetween(MorphMethod method);
    void saveWaveAs();

private:
    std::vector<int> selectedFilledSlots() const;

    View m_view;
    BankModel& m_model;
    QUndoStack& m_undo;
    BankPanel& m_panel;
};
