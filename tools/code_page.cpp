#include "code_page.h"

#include <iconv.h>

namespace {

// The whole of text converted between two character sets, or false when
// any of it does not convert.
bool convert(const char* to, const char* from, const std::string& text, std::string& result) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    std::string input = text;
    std::string output(text.size() * 4 + 4, '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    const bool whole = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
                       inLeft == 0;
    iconv_close(converter);
    output.resize(output.size() - outLeft);
    result = output;
    return whole;
}

}  // namespace

bool toCodePage932(const std::string& utf8, std::string& cp932) {
    std::string back;
    return convert("CP932", "UTF-8", utf8, cp932) && convert("UTF-8", "CP932", cp932, back) &&
           back == utf8;
}
