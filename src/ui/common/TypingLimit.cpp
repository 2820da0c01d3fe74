#include "ui/common/TypingLimit.h"

#include <QLineEdit>
#include <QValidator>
#include <algorithm>

namespace tarvik {
namespace {

// QLineEdit's own maximum: no limit of ours.
constexpr int kNoLimit = 32767;

// Allows the longer of the limit and the text the box held before the edit;
// an edit that would go beyond that loses the end of what it inserted (the
// characters just before the cursor), as an insertion does under maxLength.
class TypingLimitValidator final : public QValidator {
public:
    TypingLimitValidator(QLineEdit* box, int limit)
        : QValidator(box), limit_(limit), shown_(box->text().size()) {
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { shown_ = text.size(); });
    }

    // The next setText brings `size` characters: they are all kept.
    void allow(qsizetype size) const { shown_ = std::max(shown_, size); }

    State validate(QString& input, int& pos) const override {
        const qsizetype allowed = std::max<qsizetype>(limit_, shown_);
        const qsizetype excess = input.size() - allowed;
        if (excess <= 0)
            return Acceptable;
        const qsizetype from = std::max<qsizetype>(0, pos - excess);
        input.remove(from, pos - from);
        pos = int(from);
        return input.size() <= allowed ? Acceptable : Invalid;
    }

private:
    const int limit_;
    mutable qsizetype shown_; // the length of the box's text before an edit
};

} // namespace

void LimitTyping(QLineEdit* box) {
    const int limit = box->maxLength();
    box->setMaxLength(kNoLimit);
    box->setValidator(new TypingLimitValidator(box, limit));
}

void SetWholeText(QLineEdit* box, const QString& text) {
    if (const auto* limit = dynamic_cast<const TypingLimitValidator*>(box->validator()))
        limit->allow(text.size());
    box->setText(text);
}

} // namespace tarvik
