#pragma once
// Answers the program's message boxes and questions from a script and
// records what was asked, so no test blocks on a modal dialog.

#include <QStringList>
#include <deque>

#include "app/Dialogs.h"

namespace zir::test {

class ScriptedDialogs final : public IDialogs {
public:
    std::deque<bool> confirmAnswers;   // ConfirmWarning; Cancel when empty
    QString saveFileName;              // GetSaveFileName's answer
    QString openFileChoice;            // ChooseOpenFile's answer
    QString saveFileChoice;            // ChooseSaveFile's answer
    QStringList fileCaptions;          // the captions of the Choose... dialogs asked

    QStringList warnings;
    QStringList messages;
    QStringList errors;

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
    void ShowError(const QString& text) override { errors << text; }
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
