#pragma once
// The prompt seam's answers in tests: nothing is shown, message boxes are
// recorded, and the other prompts take the answers a test queued (none
// queued: cancelled, and counted as unanswered).
#include <QString>

#include <map>
#include <optional>
#include <vector>

#include "app/prompts.h"

namespace Prompts {

// Installs the scripted answerer (or puts the dialogs back).
void setTestMode(bool on);
bool testMode();
void queueFileAnswer(std::optional<QString> path);
void queuePassphraseAnswer(bool accepted, const QString& text);
void queueNumberAnswer(std::optional<long long> number);
void queueQuestionAnswer(bool yes);
void queueFormAnswer(std::optional<std::map<QString, QString>> answer);
std::vector<FormRequest> formRequests();  // every form asked for, in order
std::vector<QString> questionsAsked();    // their texts
std::vector<ShownMessage> shownMessages();
std::vector<FileRequest> fileRequests();
int passphraseRequests();
std::vector<PassphraseRequest> passphraseAsksAgain();  // the asks after a wrong one
int unansweredPrompts();
void resetTestState();

}  // namespace Prompts
