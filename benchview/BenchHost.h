// The program's side of the bench view: loads the module and makes its
// window the first time the view is opened, and brings it to the front after.
#pragma once

#include "BenchViewApi.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace tirevo {

class BenchHost : public QObject {
public:
    // owner: the window the bench view closes with (none when it is the
    // program's only window).
    explicit BenchHost(QWidget* owner);
    ~BenchHost() override;

    // Opens the bench view, or brings it to the front (the setup counts when
    // the view opens its meters, not while they are open). Gives the text to show when the module cannot be
    // loaded.
    std::optional<QString> Show(const BenchViewSetup& setup);
    // Ends the view, if made (see BenchView::End()).
    void End();
    // The view's window once made, else none.
    QWidget* Window() const;

    // Where the module is looked for, in order: beside the program, then in
    // the library folder of its installation prefix.
    static QStringList ModuleCandidates();
    // Tests load the module from the build tree instead.
    static void SetModuleFile(const QString& path);

private:
    QWidget* owner_;
    BenchView* view_ = nullptr;
};

}  // namespace tirevo
