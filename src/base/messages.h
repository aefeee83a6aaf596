#pragma once
// Where the questions and notices of the message dialog get their answers.
// The program answers through the dialog; tests and headless runs through a script.

#include <QString>
#include <QStringList>
#include <deque>

namespace lumo {

// Kinds 1-3 ask with 是/否, kinds 4-6 notify with 確  定.
enum MessageKind {
    AskQuestion = 1,   // 詢問資訊 question
    AskAttention = 2,  // 注意 question
    AskImportant = 3,  // 重要資訊 question
    NoteQuestion = 4,  // 詢問資訊 notice
    NoteAttention = 5, // 注意 notice
    NoteImportant = 6  // 重要資訊 notice
};

// A question's default answer is what Enter (or a stray key) gives. Every
// question defaults to 否, so that whatever 是 deletes, replaces or discards
// is never one key away, also in questions added later; a question whose 是
// is the expected and harmless answer (store the measurement here, go on
// measuring) says so by asking through askDefaultYes.
class MessageSource
{
public:
    virtual ~MessageSource() = default;
    // Shows the message and returns true for 是 or 確  定, false for 否 or the close box.
    // A question's default answer is 否.
    virtual bool show(int kind, const QString& text) = 0;
    // The same question with 是 as its default answer.
    virtual bool askDefaultYes(int kind, const QString& text) { return show(kind, text); }
    // The general error report: any error no screen handles; the program continues.
    virtual void reportError(const QString& text) = 0;
    // A question about a list the operator must see whole before answering
    // (the external commands an import would bring): the program shows the
    // items in a list that scrolls, with 否 as the default answer. A source
    // without a list of its own shows them under the text.
    virtual bool showList(int kind, const QString& text, const QStringList& items)
    {
        return show(kind, items.isEmpty()
                              ? text
                              : text + QStringLiteral("\r\n\r\n") + items.join(QStringLiteral("\r\n")));
    }
};

// Answers from a queue (then a default), and keeps what was shown.
class ScriptedMessages : public MessageSource
{
public:
    struct Shown
    {
        int kind;
        QString text;
        bool defaultYes = false; // a question asked with 是 as its default answer
    };

    void push(bool answer) { m_answers.push_back(answer); }
    void setDefaultAnswer(bool answer) { m_default = answer; }

    bool show(int kind, const QString& text) override
    {
        m_shown.push_back({kind, text, m_defaultYes});
        m_defaultYes = false;
        if (kind >= NoteQuestion) return true;
        if (m_answers.empty()) return m_default;
        bool a = m_answers.front();
        m_answers.pop_front();
        return a;
    }
    bool askDefaultYes(int kind, const QString& text) override
    {
        m_defaultYes = true;
        return show(kind, text);
    }
    void reportError(const QString& text) override { m_errors << text; }

    const std::deque<Shown>& shown() const { return m_shown; }
    const QStringList& errors() const { return m_errors; }
    void clear()
    {
        m_shown.clear();
        m_errors.clear();
    }

private:
    std::deque<bool> m_answers;
    std::deque<Shown> m_shown;
    QStringList m_errors;
    bool m_default = true;
    bool m_defaultYes = false;
};

} // namespace lumo
