// Turns the answer catalogue's data file (UTF-8, one quoted entry per line) into a C++ source
// holding the entries as code page 936 constants. Run by the build; any fault in the data stops
// the build with the file name and line number, so a bad entry can never reach the program.
//
//     catalogue_gen <catalogue.txt> <generated.cpp>

#include "runtime/codepage.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kEntryCount = 318;
constexpr std::string_view kNoAnswerMarker = "    ";

struct Entry {
    int line = 0;
    std::string question; // code page 936
    std::string answer;   // code page 936
    std::string question_utf8;
};

struct Failure {
    int line;
    std::string message;
};

// Reads one quoted text starting at pos (which must be at the opening quote) and leaves pos
// after the closing quote. Only \" and \\ are escapes, so every other byte stands for itself.
bool read_quoted(std::string_view line, size_t& pos, std::string& out, std::string& error) {
    if (pos >= line.size() || line[pos] != '"') {
        error = "expected '\"' at column " + std::to_string(pos + 1);
        return false;
    }
    ++pos;
    out.clear();
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (pos + 1 >= line.size() || (line[pos + 1] != '"' && line[pos + 1] != '\\')) {
                error = "unknown escape at column " + std::to_string(pos + 1) +
                        " (only \\\" and \\\\ exist)";
                return false;
            }
            out += line[pos + 1];
            pos += 2;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            error = "control character at column " + std::to_string(pos + 1);
            return false;
        }
        out += c;
        ++pos;
    }
    error = "text not closed by '\"'";
    return false;
}

// The code page 936 form of a UTF-8 text, or an error when the text would not come back
// unchanged (a character the code page lacks becomes '?', bad UTF-8 becomes U+FFFD, and a
// decomposed character would be silently composed).
bool convert(const std::string& utf8, std::string& cp936, std::string& error) {
    cp936 = tavelin::codepage::cp936_from_utf8(utf8);
    if (tavelin::codepage::utf8_from_cp936(cp936) != utf8) {
        error = "does not convert cleanly to code page 936: \"" + utf8 + "\"";
        return false;
    }
    return true;
}

bool parse_line(std::string_view line, int expected_number, Entry& entry, std::string& error) {
    size_t pos = 0;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9')
        ++pos;
    if (pos == 0 || pos > 4) {
        error = "expected an entry number at the start of the line";
        return false;
    }
    const int number = std::stoi(std::string(line.substr(0, pos)));
    if (number != expected_number) {
        error = "entry number " + std::to_string(number) + " where " +
                std::to_string(expected_number) + " was due";
        return false;
    }
    if (line.substr(pos, 1) != " ") {
        error = "expected one space after the entry number";
        return false;
    }
    ++pos;
    std::string answer_utf8;
    if (!read_quoted(line, pos, entry.question_utf8, error))
        return false;
    if (line.substr(pos, 4) != " => ") {
        error = "expected ' => ' at column " + std::to_string(pos + 1);
        return false;
    }
    pos += 4;
    if (!read_quoted(line, pos, answer_utf8, error))
        return false;
    if (pos != line.size()) {
        error = "text after the answer at column " + std::to_string(pos + 1);
        return false;
    }
    return convert(entry.question_utf8, entry.question, error) &&
           convert(answer_utf8, entry.answer, error);
}

// A C++ string literal of the bytes. A hex escape swallows every hex digit after it, so a
// literal digit that follows one starts a new (concatenated) literal.
std::string literal(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    bool after_hex = false;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\' || c == '?') {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
            after_hex = true;
            continue;
        }
        if (after_hex && std::isxdigit(c))
            out += "\" \"";
        out += static_cast<char>(c);
        after_hex = false;
    }
    return out + "\"";
}

// A comment never ends in a backslash (that would continue it onto the next line).
std::string comment_text(std::string_view utf8) {
    std::string out;
    for (const char c : utf8)
        out += c == '\\' ? '/' : c;
    return out;
}

std::string generate(const std::vector<Entry>& entries) {
    std::ostringstream out;
    out << "// Generated by catalogue_gen from the catalogue data file; edit that file instead.\n"
           "#include \"exam/catalogue.h\"\n\n"
           "namespace tavelin::catalogue_data {\n\n"
           "static_assert(AnswerCatalogue::kEntryCount == "
        << kEntryCount << ", \"the data file holds " << kEntryCount << " entries\");\n"
        << "extern const CatalogueEntry entries[AnswerCatalogue::kEntryCount];\n"
           "constinit const CatalogueEntry entries[AnswerCatalogue::kEntryCount] = {\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        out << "    // " << i + 1 << " \"" << comment_text(e.question_utf8) << "\"\n"
            << "    {{" << literal(e.question) << ", " << e.question.size() << "}, {"
            << literal(e.answer) << ", " << e.answer.size() << "}},\n";
    }
    out << "};\n\n} // namespace tavelin::catalogue_data\n";
    return out.str();
}

int fail(const std::string& path, const Failure& f) {
    std::cerr << path << ":" << f.line << ": error: " << f.message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: catalogue_gen <catalogue.txt> <generated.cpp>\n";
        return 2;
    }
    const std::string in_path = argv[1];
    const std::string out_path = argv[2];
    std::ifstream in(in_path, std::ios::binary);
    if (!in)
        return fail(in_path, {0, "cannot open the catalogue data file"});

    std::vector<Entry> entries;
    std::string line;
    int line_number = 0;
    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r')
            return fail(in_path, {line_number, "carriage return: the file must use LF line ends"});
        if (line.empty() || line.front() == '#')
            continue;
        Entry entry;
        entry.line = line_number;
        std::string error;
        if (!parse_line(line, static_cast<int>(entries.size()) + 1, entry, error))
            return fail(in_path, {line_number, error});
        if (entries.size() == kEntryCount)
            return fail(in_path,
                        {line_number, "more than " + std::to_string(kEntryCount) + " entries"});
        entries.push_back(std::move(entry));
    }
    if (entries.size() != kEntryCount)
        return fail(in_path, {line_number, std::to_string(entries.size()) + " entries where " +
                                               std::to_string(kEntryCount) + " are due"});
    for (const Entry& e : entries) {
        const bool last = &e == &entries.back();
        if (last && (!e.question.empty() || e.answer != kNoAnswerMarker))
            return fail(in_path, {e.line, "the last entry must map the empty question to the "
                                          "no-answer marker (four spaces)"});
        if (!last && e.question.empty())
            return fail(in_path, {e.line, "empty question before the last entry"});
        if (!last && e.answer.find_first_not_of(' ') == std::string::npos)
            return fail(in_path, {e.line, "answer empty or made of spaces alone"});
    }

    // Written aside and renamed, so a failed run never leaves a half-written source behind.
    const std::string tmp_path = out_path + ".tmp";
    {
        std::ofstream out(tmp_path, std::ios::binary | std::ios::trunc);
        out << generate(entries);
        if (!out.flush())
            return fail(out_path, {0, "cannot write the generated source"});
    }
    if (std::rename(tmp_path.c_str(), out_path.c_str()) != 0)
        return fail(out_path, {0, "cannot move the generated source into place"});
    return 0;
}
