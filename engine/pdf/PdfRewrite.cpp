#include "PdfRewrite.h"

// The newer smart-pointer interface of libqpdf, without its transition warning.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

constexpr size_t kChunk = 1 << 20;

// Hands each kept picture's file to the writer when it writes that stream.
class KeptPictureData : public QPDFObjectHandle::StreamDataProvider {
  public:
    void Add(QPDFObjGen stream, const KeptPicture& picture) { pictures_[stream] = picture; }

    void provideStreamData(QPDFObjGen const& stream, Pipeline* pipeline) override {
        const KeptPicture& picture = pictures_.at(stream);
        const std::string name = "\"" + picture.file.string() + "\"";
        std::unique_ptr<std::FILE, decltype(&std::fclose)> in(std::fopen(picture.file.c_str(), "rb"), &std::fclose);
        if (!in) {
            throw std::runtime_error("cannot read the picture " + name + ": " + std::strerror(errno));
        }
        std::vector<std::pair<uint64_t, uint64_t>> leaveOut;
        if (picture.linked) {
            // The source itself: it must still be the file that was checked.
            struct stat info {};
            if (::fstat(::fileno(in.get()), &info) != 0 || static_cast<uint64_t>(info.st_size) != picture.linked->bytes ||
                int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec != picture.linked->modifiedNs) {
                throw std::runtime_error("the picture " + name + " changed while it was being converted");
            }
            leaveOut = picture.linked->leaveOut;
        }
        std::vector<unsigned char> chunk(kChunk);
        uint64_t at = 0;
        size_t skip = 0; // the next part to leave out
        for (;;) {
            const size_t got = std::fread(chunk.data(), 1, chunk.size(), in.get());
            // Pass on what lies between the parts to leave out.
            size_t from = 0;
            while (from < got) {
                const uint64_t position = at + from;
                if (skip < leaveOut.size() && position >= leaveOut[skip].first) {
                    const uint64_t partEnd = leaveOut[skip].first + leaveOut[skip].second;
                    if (partEnd <= at + got) {
                        from = static_cast<size_t>(partEnd - at);
                        ++skip;
                        continue;
                    }
                    from = got;
                    break;
                }
                const uint64_t until = skip < leaveOut.size() ? std::min<uint64_t>(leaveOut[skip].first, at + got)
                                                             : at + got;
                pipeline->write(chunk.data() + from, static_cast<size_t>(until - position));
                from = static_cast<size_t>(until - at);
            }
            at += got;
            if (got < chunk.size()) {
                break;
            }
        }
        if (std::ferror(in.get())) {
            throw std::runtime_error("cannot read the picture " + name);
        }
        pipeline->finish();
    }

  private:
    std::map<QPDFObjGen, KeptPicture> pictures_;
};

// Puts each kept picture in place of its stand-in. Every stand-in must be
// found, exactly once: a picture that went missing would be a white square.
void SwapInKeptPictures(QPDF& document, const std::vector<KeptPicture>& kept) {
    if (kept.empty()) {
        return;
    }
    auto data = std::make_shared<KeptPictureData>();
    std::vector<bool> found(kept.size(), false);
    for (QPDFObjectHandle object : document.getAllObjects()) {
        if (!object.isStream()) {
            continue;
        }
        QPDFObjectHandle dictionary = object.getDict();
        const std::string key = std::string("/") + kKeptPictureKey;
        if (!dictionary.hasKey(key) || !dictionary.getKey(key).isInteger()) {
            continue;
        }
        const long long index = dictionary.getKey(key).getIntValue();
        if (index < 0 || static_cast<size_t>(index) >= kept.size() || found[static_cast<size_t>(index)]) {
            throw std::runtime_error("a kept picture's stand-in is out of place");
        }
        const KeptPicture& picture = kept[static_cast<size_t>(index)];
        found[static_cast<size_t>(index)] = true;
        dictionary.removeKey(key);
        dictionary.replaceKey("/Width", QPDFObjectHandle::newInteger(picture.width));
        dictionary.replaceKey("/Height", QPDFObjectHandle::newInteger(picture.height));
        dictionary.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
        dictionary.replaceKey("/ColorSpace",
                              QPDFObjectHandle::newName(picture.components == 1 ? "/DeviceGray" : "/DeviceRGB"));
        data->Add(object.getObjGen(), picture);
        object.replaceStreamData(data, QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());
    }
    for (bool placed : found) {
        if (!placed) {
            throw std::runtime_error("a kept picture's stand-in is missing");
        }
    }
}

} // namespace

bool NeedsRewrite(const std::vector<KeptPicture>& kept, const std::optional<DocumentProtection>& protection) {
    return !kept.empty() || (protection && protection->method == Encryption::Aes256);
}

std::string RewriteDocument(std::FILE* written, std::FILE* out, const std::vector<KeptPicture>& kept,
                            const std::optional<DocumentProtection>& protection, const std::string& name) {
    const bool aes = protection && protection->method == Encryption::Aes256;
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        // libharu encrypted an RC4 document already; its permissions password opens it.
        const std::string password = protection && !aes ? protection->ownerPassword : std::string();
        document.processFile(name.c_str(), written, false, password.empty() ? nullptr : password.c_str());
        SwapInKeptPictures(document, kept);
        QPDFWriter writer(document);
        writer.setOutputFile(name.c_str(), out, false);
        // Pictures and page contents go through as they are: no stream is
        // decoded, recompressed or otherwise touched.
        writer.setCompressStreams(false);
        writer.setDecodeLevel(qpdf_dl_none);
        if (aes) {
            const bool allow = !protection->forbidAll;
            writer.setR6EncryptionParameters(protection->userPassword.c_str(), protection->ownerPassword.c_str(),
                                             allow, allow, allow, allow, allow, allow,
                                             allow ? qpdf_r3p_full : qpdf_r3p_none, true);
        }
        writer.write();
        if (document.anyWarnings()) {
            return "writing " + name + ": the document written by the PDF library needed repair";
        }
        return {};
    } catch (const std::exception& error) {
        return "writing " + name + (aes ? " with AES-256: " : ": ") + error.what();
    }
}
