#include <iconv.h>

#include <cerrno>
#include <vector>

#include "common/codepage.h"

namespace korvane {
namespace {

class Cp932Decoder {
public:
    Cp932Decoder() : cd_(iconv_open("UTF-8", "CP932")) {}
    ~Cp932Decoder() {
        if (valid()) iconv_close(cd_);
    }
    Cp932Decoder(const Cp932Decoder&) = delete;
    Cp932Decoder& operator=(const Cp932Decoder&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::string decode(std::string_view bytes) {
        std::string out;
        out.reserve(bytes.size() * 3);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::vector<char> input(bytes.begin(), bytes.end());
        char* in = input.data();
        std::size_t inLeft = input.size();
        char buffer[256];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: the byte is not a code page 932 character (or starts an unfinished
            // double-byte one); keep it as Latin-1 and carry on after it.
            AppendLatin1AsUtf8(out, static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string DecodeCp932(std::string_view bytes) {
    thread_local Cp932Decoder decoder;
    if (decoder.valid()) return decoder.decode(bytes);
    std::string out;
    for (char c : bytes) AppendLatin1AsUtf8(out, static_cast<unsigned char>(c));
    return out;
}

}  // namespace korvane
