#pragma once
// Answers the program's message boxes and questions from a script and
// records what was asked, so no test blocks on a modal dialog.

#include <QStringList>
#include <deque>
#include <functional>

#include "app/Dialogs.h"

namespace zir::test {

class ScriptedDialogs final : public IDialogs {
public:
    std::deque<bool> confirmAnswers; // ConfirmWarning; Cancel when empty
    QString saveFileName;            // GetSaveFileName's answer
    QString openFileChoice;          // ChooseOpenFile's answer
    QString saveFileChoice;          // ChooseSaveFile's answer
    QStringList fileCaptions;        // the captions of the Choose... dialogs asked

    QStringList warnings;
    QStringList messages;
    QStringList notices;
    QStringList errors;
    // Runs while an error box is shown (the box's modal loop lets events run).
    std::function<void()> whileErrorShown;

    bool ConfirmWarning(const QString& text) override {
        warnings << text;
        if (confirmAnswers.empty()) return false;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    Answer AskYesNoCancel(const QString& text) override {
        warnings << text;
        return Answer::Cancel;
    }
    void ShowMessage(const QString& text) override { messages << text; }
    void ShowNotice(const QString& text) override { notices << text; }
    void ShowError(const QString& text) override {
        errors << text;
        if (whileErrorShown) whileErrorShown();
    }
    QString GetSaveFileName() override { return saveFileName; }
    QString ChooseOpenFile(const QString& caption, const QString&, const QString&) override {
        fileCaptions << caption;
        return openFileChoice;
    }
    QString ChooseSaveFile(const QString& caption, const QString&, const QString&) override {
        fileCaptions << caption;
        return saveFileChoice;
    }
};

} // namespace zir::test
