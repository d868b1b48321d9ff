// The window's layout, in one place for every suite: where each control must
// be. The layout test compares the window with this table; the suites of
// single controls check only that no two controls of a page overlap, so a
// control moved on purpose is changed here alone.
#pragma once

#include "MainFormUnit.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRect>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStringList>
#include <QToolButton>

#include <vector>

namespace windowlayout {

struct Place {
    const char* name;
    QWidget* (*control)(const tirevo::TMainForm&);
    QRect geometry;
};

template <auto Member> QWidget* Control(const tirevo::TMainForm& form) { return form.*Member; }

using tirevo::TMainForm;

inline const std::vector<Place>& Table()
{
    static const std::vector<Place> table{
        // The window itself.
        {"pc1", &Control<&TMainForm::pc1>, {0, 0, 289, 117}},
        {"sb1", &Control<&TMainForm::sb1>, {0, 117, 434, 19}},
        {"BitBtn1", &Control<&TMainForm::BitBtn1>, {288, 0, 146, 39}},
        {"btnCalibrate", &Control<&TMainForm::btnCalibrate>, {288, 39, 146, 39}},
        {"btnAbout", &Control<&TMainForm::btnAbout>, {288, 78, 146, 39}},
        // The reading page.
        {"Label2", &Control<&TMainForm::Label2>, {25, 26, 58, 54}},
        {"lbpHValue", &Control<&TMainForm::lbpHValue>, {117, 26, 150, 54}},
        {"lbCalibrationDue", &Control<&TMainForm::lbCalibrationDue>, {117, 6, 150, 16}},
        {"lbStability", &Control<&TMainForm::lbStability>, {25, 88, 130, 16}},
        {"sbAlarm", &Control<&TMainForm::sbAlarm>, {160, 85, 23, 22}},
        {"sbRecord", &Control<&TMainForm::sbRecord>, {184, 85, 23, 22}},
        {"sbTrend", &Control<&TMainForm::sbTrend>, {208, 85, 23, 22}},
        {"sbBench", &Control<&TMainForm::sbBench>, {266, 2, 23, 22}},
        {"sb5", &Control<&TMainForm::sb5>, {232, 85, 23, 22}},
        {"sb6", &Control<&TMainForm::sb6>, {256, 85, 23, 22}},
        // The selection page.
        {"lb1", &Control<&TMainForm::lb1>, {8, 17, 169, 90}},
        {"lb2", &Control<&TMainForm::lb2>, {176, 17, 73, 90}},
        {"SpeedButton2", &Control<&TMainForm::SpeedButton2>, {256, 17, 23, 22}},
        {"sbBenchList", &Control<&TMainForm::sbBenchList>, {256, 41, 23, 22}},
        // The About page.
        {"Image1", &Control<&TMainForm::Image1>, {0, 8, 97, 41}},
        // The calibration page.
        {"edPH1", &Control<&TMainForm::edPH1>, {130, 24, 81, 21}},
        {"sbtCAL1", &Control<&TMainForm::sbtCAL1>, {230, 23, 23, 22}},
        {"edPH2", &Control<&TMainForm::edPH2>, {130, 64, 81, 21}},
        {"sbtCAL2", &Control<&TMainForm::sbtCAL2>, {230, 63, 23, 22}},
        {"lbCalibration", &Control<&TMainForm::lbCalibration>, {24, 92, 260, 16}},
    };
    return table;
}

// The control's name in the table, else its class and rectangle.
inline QString NameOf(const TMainForm& form, const QWidget* widget)
{
    for (const Place& place : Table())
        if (place.control(form) == widget)
            return QString::fromLatin1(place.name);
    const QRect r = widget->geometry();
    return QStringLiteral("%1(%2,%3 %4x%5)")
        .arg(QString::fromLatin1(widget->metaObject()->className()))
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

// Whether two controls cover each other: more than the shared one-pixel
// border of neighbours drawn edge on edge (the two lists of the selection
// page).
inline bool Cover(const QRect& a, const QRect& b)
{
    const QRect both = a & b;
    return both.width() > 1 && both.height() > 1;
}

// "a / b" for each two controls of one page that cover each other, over the
// four pages (hidden controls included: they show at times); empty when
// nothing overlaps.
inline QStringList Overlaps(const TMainForm& form)
{
    QStringList out;
    for (const QWidget* page : {form.tsPH, form.tsConnect, form.tsAbout, form.tsCal}) {
        const QList<QWidget*> controls = page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < controls.size(); ++i)
            for (qsizetype j = i + 1; j < controls.size(); ++j)
                if (Cover(controls[i]->geometry(), controls[j]->geometry()))
                    out << NameOf(form, controls[i]) + QStringLiteral(" / ") + NameOf(form, controls[j]);
    }
    return out;
}

}  // namespace windowlayout
