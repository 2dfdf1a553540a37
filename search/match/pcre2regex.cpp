#include "pcre2regex.h"

#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>

namespace {

// PCRE2's JIT runs on a stack of its own; nested patterns on long lines need
// more than its default 32 KiB.
constexpr size_t kJitStackStart = 32 << 10;
constexpr size_t kJitStackMax = 1 << 20;

// Compile options: UTF text, matched where valid (a file is no promise of
// valid UTF-8). \w, \d and \b keep their ASCII meaning, as in grep -P;
// (*UCP) at the start of a pattern gives them the Unicode one.
constexpr uint32_t kCompileOptions = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;

// One thread's scratch space for matching: a match data block with room for
// the whole match and a JIT stack, per code unit width. Made when first used.
struct Scratch
{
    pcre2_match_data_8 *data8 = pcre2_match_data_create_8(1, nullptr);
    pcre2_match_context_8 *context8 = pcre2_match_context_create_8(nullptr);
    pcre2_jit_stack_8 *stack8 = pcre2_jit_stack_create_8(kJitStackStart, kJitStackMax, nullptr);
    pcre2_match_data_16 *data16 = pcre2_match_data_create_16(1, nullptr);
    pcre2_match_context_16 *context16 = pcre2_match_context_create_16(nullptr);
    pcre2_jit_stack_16 *stack16 = pcre2_jit_stack_create_16(kJitStackStart, kJitStackMax, nullptr);

    Scratch()
    {
        pcre2_jit_stack_assign_8(context8, nullptr, stack8);
        pcre2_jit_stack_assign_16(context16, nullptr, stack16);
    }
    ~Scratch()
    {
        pcre2_jit_stack_free_8(stack8);
        pcre2_match_context_free_8(context8);
        pcre2_match_data_free_8(data8);
        pcre2_jit_stack_free_16(stack16);
        pcre2_match_context_free_16(context16);
        pcre2_match_data_free_16(data16);
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
};

Scratch &scratch()
{
    thread_local Scratch own;
    return own;
}

QString errorText8(int code)
{
    PCRE2_UCHAR8 buffer[256];
    const int length = pcre2_get_error_message_8(code, buffer, sizeof buffer);
    return length < 0 ? QString::number(code)
                      : QString::fromUtf8(reinterpret_cast<const char *>(buffer), length);
}

}  // namespace

struct Pcre2Regex::Code
{
    pcre2_code_8 *code8 = nullptr;
    pcre2_code_16 *code16 = nullptr;
    bool jit8 = false;
    bool jit16 = false;

    ~Code()
    {
        pcre2_code_free_8(code8);
        pcre2_code_free_16(code16);
    }
};

Pcre2Regex::Pcre2Regex(const QString &pattern, bool caseless)
{
    const uint32_t options = kCompileOptions | (caseless ? PCRE2_CASELESS : 0);
    auto made = std::make_shared<Code>();
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    // The UTF-16 form first: its error offset counts what the user typed.
    made->code16 = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(pattern.utf16()),
                                    PCRE2_SIZE(pattern.size()), options, &errorCode, &errorOffset,
                                    nullptr);
    if (!made->code16) {
        failure = Error {errorText8(errorCode), int(errorOffset)};
        return;
    }
    const QByteArray utf8 = pattern.toUtf8();
    made->code8
            = pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(utf8.constData()),
                              PCRE2_SIZE(utf8.size()), options, &errorCode, &errorOffset, nullptr);
    if (!made->code8) {
        failure = Error {errorText8(errorCode), int(errorOffset)};
        return;
    }
    // Without a JIT (or when it refuses the pattern) the interpreter matches.
    made->jit8 = pcre2_jit_compile_8(made->code8, PCRE2_JIT_COMPLETE) == 0;
    made->jit16 = pcre2_jit_compile_16(made->code16, PCRE2_JIT_COMPLETE) == 0;
    code = std::move(made);
}

bool Pcre2Regex::matchesUtf8(const char *data, size_t size) const
{
    if (!code)
        return false;
    Scratch &s = scratch();
    const auto subject = reinterpret_cast<PCRE2_SPTR8>(data);
    const int rc = code->jit8
            ? pcre2_jit_match_8(code->code8, subject, size, 0, 0, s.data8, s.context8)
            : pcre2_match_8(code->code8, subject, size, 0, 0, s.data8, s.context8);
    // 0: matched, with more groups than the match data has room for.
    return rc >= 0;
}

bool Pcre2Regex::matches(const QChar *text, int size) const
{
    if (!code)
        return false;
    Scratch &s = scratch();
    const auto subject = reinterpret_cast<PCRE2_SPTR16>(text);
    const int rc = code->jit16
            ? pcre2_jit_match_16(code->code16, subject, PCRE2_SIZE(size), 0, 0, s.data16,
                                 s.context16)
            : pcre2_match_16(code->code16, subject, PCRE2_SIZE(size), 0, 0, s.data16, s.context16);
    return rc >= 0;
}

bool Pcre2Regex::find(const QString &text, int from, int *start, int *end) const
{
    if (!code || from > text.size())
        return false;
    Scratch &s = scratch();
    const auto subject = reinterpret_cast<PCRE2_SPTR16>(text.utf16());
    const int rc = pcre2_match_16(code->code16, subject, PCRE2_SIZE(text.size()), PCRE2_SIZE(from),
                                  0, s.data16, s.context16);
    if (rc < 0)
        return false;
    const PCRE2_SIZE *ovector = pcre2_get_ovector_pointer_16(s.data16);
    *start = int(ovector[0]);
    *end = int(qMax(ovector[0], ovector[1]));  // \K can put the end before the start
    return true;
}
