#pragma once

#include "platform/dialogs.h"
#include "platform/failure.h"

#include <QString>

// The one way failures are reported: "Application Error", naming the failure,
// the procedure and its step, then the support address.
QString errorMessage(const QString& description, const QString& procedure, int step);
inline constexpr const char* kSupportAddress = "support@thrennic.example";

// The error trap of a procedure. Each numbered step runs through it; a step
// that fails is reported and the procedure goes on with the next one. A test
// that fails counts as passed, so the steps it guards run.
//
//     Trap trap(dialogs, "PlayNew");
//     trap(108, [&] { ListView1->Refresh(); });
//     if (trap.test(106, [&] { return WMP->playState() == Player::Playing; })) ...
class Trap {
  public:
    // Silent: a failing step is skipped without a word, for the procedures that report nothing.
    enum Mode { Reporting, Silent };
    Trap(Dialogs& dialogs, const char* procedure, Mode mode = Reporting)
        : dialogs_(dialogs), procedure_(procedure), mode_(mode) {}

    template <class Step> void operator()(int step, Step&& run) noexcept {
        const Running running(*this, step);
        try {
            run();
        } catch (const std::exception& e) {
            report(step, describe(e));
        } catch (...) {
            report(step, QStringLiteral("Unknown error"));
        }
    }

    template <class Test> bool test(int step, Test&& check) noexcept {
        const Running running(*this, step);
        try {
            return check();
        } catch (const std::exception& e) {
            report(step, describe(e));
        } catch (...) {
            report(step, QStringLiteral("Unknown error"));
        }
        return true;
    }

    // The step of a trapped procedure running now on this thread, innermost
    // first: a failure that comes to light later (a save finished on another
    // thread) is reported as that step's, as it would have been at once.
    struct Step {
        Dialogs* dialogs = nullptr; // none: no trapped step is running
        const char* procedure = nullptr;
        int number = 0;
        Mode mode = Reporting;
        // Shows the failure as the step's own: the uniform message, or nothing when silent.
        void report(const QString& description) const;
    };
    static Step running();

  private:
    void report(int step, const QString& description) noexcept;
    struct Running {
        Running(const Trap& trap, int step);
        ~Running();
        const Running* outer;
        const Trap& trap;
        int step;
    };

    Dialogs& dialogs_;
    const char* procedure_;
    Mode mode_;
};
