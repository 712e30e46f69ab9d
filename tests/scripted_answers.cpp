#include "tests/scripted_answers.h"

#include <deque>
#include <mutex>

namespace Prompts {

namespace {

class ScriptedAnswers : public Answerer {
public:
    void message(const ShownMessage& message) override
    {
        std::lock_guard lock(mutex);
        messages.push_back(message);
    }
    std::optional<QString> chooseFile(const FileRequest& request) override
    {
        std::lock_guard lock(mutex);
        files.push_back(request);
        const bool answered = !fileAnswers.empty();
        unanswered += !answered;
        QString path = answered && fileAnswers.front() ? *fileAnswers.front() : QString();
        const bool chosen = answered && fileAnswers.front().has_value();
        if (answered)
            fileAnswers.pop_front();
        return chosen ? std::optional<QString>(path) : std::nullopt;
    }
    PassphraseAnswer askPassphrase(const std::optional<PassphraseRequest>& again) override
    {
        std::lock_guard lock(mutex);
        ++passphrases;
        if (again)
            asksAgain.push_back(*again);
        return next(passphraseAnswers, PassphraseAnswer());
    }
    std::optional<long long> askNumber(const QString&) override
    {
        std::lock_guard lock(mutex);
        return next(numberAnswers, std::optional<long long>());
    }
    bool question(const QString&, const QString& text) override
    {
        std::lock_guard lock(mutex);
        questions.push_back(text);
        return next(questionAnswers, false);
    }
    std::optional<FormAnswer> askForm(const FormRequest& request) override
    {
        std::lock_guard lock(mutex);
        forms.push_back(request);
        return next(formAnswers, std::optional<FormAnswer>());
    }

    std::mutex mutex;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<PassphraseAnswer> passphraseAnswers;
    std::deque<std::optional<long long>> numberAnswers;
    std::deque<bool> questionAnswers;
    std::deque<std::optional<FormAnswer>> formAnswers;
    std::vector<FormRequest> forms;
    std::vector<QString> questions;
    std::vector<PassphraseRequest> asksAgain;
    std::vector<ShownMessage> messages;
    std::vector<FileRequest> files;
    int passphrases = 0;
    int unanswered = 0;
    bool installed = false;

private:
    // The first queued answer, or cancel when none was queued.
    template <typename T> T next(std::deque<T>& queue, T cancel)
    {
        if (queue.empty()) {
            ++unanswered;
            return cancel;
        }
        T answer(queue.front());
        queue.pop_front();
        return answer;
    }
};

ScriptedAnswers& scripted()
{
    static ScriptedAnswers answers;
    return answers;
}

// Runs fn on the scripted state under its lock.
template <typename Fn> auto withAnswers(Fn fn)
{
    std::lock_guard lock(scripted().mutex);
    return fn(scripted());
}

}  // namespace

void setTestMode(bool on)
{
    withAnswers([on](ScriptedAnswers& s) { s.installed = on; });
    setAnswerer(on ? &scripted() : nullptr);
}

bool testMode()
{
    return withAnswers([](ScriptedAnswers& s) { return s.installed; });
}

void queueFileAnswer(std::optional<QString> path)
{
    withAnswers([&](ScriptedAnswers& s) { s.fileAnswers.push_back(std::move(path)); });
}

void queuePassphraseAnswer(bool accepted, const QString& text)
{
    PassphraseAnswer answer;
    answer.accepted = accepted;
    answer.text = SecretText(text.toStdString());
    withAnswers([&](ScriptedAnswers& s) { s.passphraseAnswers.push_back(std::move(answer)); });
}

void queueNumberAnswer(std::optional<long long> number)
{
    withAnswers([&](ScriptedAnswers& s) { s.numberAnswers.push_back(number); });
}

void queueQuestionAnswer(bool yes)
{
    withAnswers([&](ScriptedAnswers& s) { s.questionAnswers.push_back(yes); });
}

void queueFormAnswer(std::optional<std::map<QString, QString>> answer)
{
    std::optional<FormAnswer> stored;
    if (answer) {
        stored.emplace();
        for (const auto& [name, value] : *answer)
            stored->emplace(name, SecretText(value.toStdString()));
    }
    withAnswers([&](ScriptedAnswers& s) { s.formAnswers.push_back(std::move(stored)); });
}

std::vector<FormRequest> formRequests()
{
    return withAnswers([](ScriptedAnswers& s) { return s.forms; });
}

std::vector<QString> questionsAsked()
{
    return withAnswers([](ScriptedAnswers& s) { return s.questions; });
}

std::vector<ShownMessage> shownMessages()
{
    return withAnswers([](ScriptedAnswers& s) { return s.messages; });
}

std::vector<FileRequest> fileRequests()
{
    return withAnswers([](ScriptedAnswers& s) { return s.files; });
}

int passphraseRequests()
{
    return withAnswers([](ScriptedAnswers& s) { return s.passphrases; });
}

std::vector<PassphraseRequest> passphraseAsksAgain()
{
    return withAnswers([](ScriptedAnswers& s) { return s.asksAgain; });
}

int unansweredPrompts()
{
    return withAnswers([](ScriptedAnswers& s) { return s.unanswered; });
}

void resetTestState()
{
    withAnswers([](ScriptedAnswers& s) {
        s.fileAnswers.clear();
        s.passphraseAnswers.clear();
        s.numberAnswers.clear();
        s.questionAnswers.clear();
        s.formAnswers.clear();
        s.forms.clear();
        s.questions.clear();
        s.asksAgain.clear();
        s.messages.clear();
        s.files.clear();
        s.passphrases = 0;
        s.unanswered = 0;
    });
}

}  // namespace Prompts
