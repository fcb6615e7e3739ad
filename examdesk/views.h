// The question views: one window per question shown, below the test window, filling the answer record.
#pragma once

#include "common/multilanguage.h"
#include "common/twips.h"
#include "examdesk/console.h"
#include "paper/onechoice.h"

#include <QWidget>
#include <array>
#include <functional>
#include <vector>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace examdesk {

using ::twips;

// What a view reads and writes beside its question.
struct ViewContext {
    console &cons;
    const CmultiLanguage &table;
    QWidget *testWindow;                        // the view is placed below it, as wide
    std::function<QString(qint16)> picturePath; // empty when the picture is not there
};

// The contract every question view keeps.
class subject : public QWidget
{
    Q_OBJECT
public:
    // A new view for the kind code: single choice and true/false, multiple select or
    // fill-in; none for any other code.
    static subject *create(const QString &fType, ViewContext context);

    // Fills the view from sb, restores the stored answer, places the view and shows it.
    virtual void setSubject(const oneChoice &sb);
    // Stores what is on screen, then closes the view and releases it.
    void unloadme();
    // Brings a minimized view back where it was, unless the test window is minimized too.
    void restore();

    QLabel *Label4 = nullptr;
    QLabel *lbItemNum = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QLabel *Picture1 = nullptr;

protected:
    // Designed positions in twips: the view's client size, the question text, member 0 of
    // the answer widgets and the picture.
    struct Design {
        QSize client;
        QRect text;
        QRect member;
        QRect picture;
    };
    subject(ViewContext context, const Design &design);

    virtual void buildOptions(const oneChoice &sb) = 0;
    // Writes the view's answer into the record (the multiple-select and fill-in views).
    virtual void collectAnswer() { }
    // Where answer widget k (1 to 6) goes.
    QRect memberRect(int k) const;
    int twips(int value) const { return examdesk::twips(this, value); }
    // Captions, names and places option button or box k for option text.
    void placeOption(QAbstractButton *option, int k, const QString &text, const char *family);
    // "(2 Marks)" and the like, after the kind label.
    QString pointsPart(const oneChoice &sb, const QString &suffix = {}) const;
    void storeAnswer(const QString &answer);
    QString storedAnswer() const;
    QString res(int entry) const { return m_context.table.getRes(entry); }

    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

    ViewContext m_context;
    Design m_design;
    // The question this view shows: its answers go there whenever they are stored.
    qint16 m_item;
    bool m_hasPicture = false;

private:
    void placeBelowTestWindow();
    bool m_unloading = false;
    bool m_restoring = false; // while the stored answer is being put on screen
    bool m_storeSkipped = false;
    bool m_minimized = false; // minimized since it was last shown
};

// Single choice and true/false: one option button per option.
class Form3 : public subject
{
    Q_OBJECT
public:
    explicit Form3(ViewContext context);
    void setSubject(const oneChoice &sb) override;
    std::vector<QAbstractButton *> Option1; // member k at index k-1

protected:
    void buildOptions(const oneChoice &sb) override;
};

// Multiple select: one check box per option.
class Form1 : public subject
{
    Q_OBJECT
public:
    explicit Form1(ViewContext context);
    void setSubject(const oneChoice &sb) override;
    std::vector<QAbstractButton *> Check1;

protected:
    void buildOptions(const oneChoice &sb) override;
    void collectAnswer() override;

private:
    std::array<QString, 7> m_checkedMarks;
};

// Fill in the blanks: one text box per blank; the correct words are never shown.
class Form4 : public subject
{
    Q_OBJECT
public:
    explicit Form4(ViewContext context);
    void setSubject(const oneChoice &sb) override;
    std::vector<QLineEdit *> Text2;

protected:
    void buildOptions(const oneChoice &sb) override;
    void collectAnswer() override;

private:
    std::array<QString, 7> m_blankEntries;
};

} // namespace examdesk
