#include "app/trap.h"

QString errorMessage(const QString& description, const QString& procedure, int step) {
    return description + QStringLiteral("\r\n") + QStringLiteral("in Brackwater2021/08/31.Form1.") +
           procedure + QLatin1Char(' ') + QStringLiteral("at line ") + QString::number(step) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
           QLatin1String(kSupportAddress);
}

void Trap::report(int step, const QString& description) noexcept {
    if (mode_ == Silent)
        return;
    try {
        dialogs_.showMessage(errorMessage(description, QLatin1String(procedure_), step),
                             QStringLiteral("Application Error"), MessageIcon::Warning);
    } catch (...) {
        // A box that cannot be shown has nowhere left to report to; the procedure goes on.
    }
}

namespace {
thread_local const void* innermost = nullptr; // the Running step of this thread
} // namespace

Trap::Running::Running(const Trap& trap, int step)
    : outer(static_cast<const Running*>(innermost)), trap(trap), step(step) {
    innermost = this;
}

Trap::Running::~Running() {
    innermost = outer;
}

Trap::Step Trap::running() {
    const auto* step = static_cast<const Running*>(innermost);
    if (!step)
        return {};
    return {&step->trap.dialogs_, step->trap.procedure_, step->step, step->trap.mode_};
}

void Trap::Step::report(const QString& description) const {
    if (!dialogs)
        return;
    Trap(*dialogs, procedure, mode).report(number, description);
}
