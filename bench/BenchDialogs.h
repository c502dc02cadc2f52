#pragma once
// The message boxes of the benchmarks: answered without a modal loop (no to
// every warning, Cancel to every question), each message printed and counted
// so that a run that met one shows it.

#include <cstdio>

#include "app/Dialogs.h"

namespace zir::bench {

class BenchDialogs final : public IDialogs {
public:
    int shown = 0;
    bool ConfirmWarning(const QString&) override { return false; }
    Answer AskYesNoCancel(const QString&) override { return Answer::Cancel; }
    void ShowMessage(const QString& text) override { Note("message", text); }
    void ShowError(const QString& text) override { Note("error", text); }
    QString GetSaveFileName() override { return {}; }

private:
    void Note(const char* kind, const QString& text) {
        ++shown;
        std::fprintf(stderr, "%s: %s\n", kind, qPrintable(text));
    }
};

} // namespace zir::bench
