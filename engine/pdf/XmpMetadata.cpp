#include "XmpMetadata.h"

#include <cstdio>

namespace {

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            // Control characters are no XML text at all: a packet with one is refused.
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') {
                escaped += c;
            }
        }
    }
    return escaped;
}

// A text in the language-alternative form dc:title and dc:description take.
std::string Alternative(const char* property, const std::string& text) {
    return std::string("   <") + property + "><rdf:Alt><rdf:li xml:lang=\"x-default\">" + Escaped(text) +
           "</rdf:li></rdf:Alt></" + property + ">\n";
}

} // namespace

std::string XmpDate(const LocalDate& date) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year, date.month, date.day,
                  date.hour, date.minutes, date.seconds);
    std::string written = text;
    if (date.ind == 'Z') {
        return written + "Z";
    }
    std::snprintf(text, sizeof text, "%c%02d:%02d", date.ind, date.offHour, date.offMinutes);
    return written + text;
}

std::string XmpMetadataFor(const DocumentInfo& info, PdfA level) {
    const std::string date = XmpDate(CreationDateOf(info));
    std::string xmp = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
                      " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n";
    xmp += "  <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
           "   <pdfaid:part>" +
           std::to_string(level == PdfA::A2b ? 2 : 1) +
           "</pdfaid:part>\n"
           "   <pdfaid:conformance>B</pdfaid:conformance>\n"
           "  </rdf:Description>\n";
    xmp += "  <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
           "   <dc:format>application/pdf</dc:format>\n";
    xmp += Alternative("dc:title", info.title);
    if (!info.author.empty()) {
        xmp +=
            "   <dc:creator><rdf:Seq><rdf:li>" + Escaped(info.author) + "</rdf:li></rdf:Seq></dc:creator>\n";
    }
    if (!info.subject.empty()) {
        xmp += Alternative("dc:description", info.subject);
    }
    xmp += "  </rdf:Description>\n";
    xmp += "  <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
           "   <pdf:Producer>" +
           Escaped(info.producer) + "</pdf:Producer>\n";
    if (!info.keywords.empty()) {
        xmp += "   <pdf:Keywords>" + Escaped(info.keywords) + "</pdf:Keywords>\n";
    }
    xmp += "  </rdf:Description>\n";
    xmp += "  <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n"
           "   <xmp:CreateDate>" +
           date + "</xmp:CreateDate>\n   <xmp:ModifyDate>" + date +
           "</xmp:ModifyDate>\n   <xmp:MetadataDate>" + date + "</xmp:MetadataDate>\n  </rdf:Description>\n";
    xmp += " </rdf:RDF>\n</x:xmpmeta>\n";
    // Room for a program that edits the metadata later to do it in place.
    for (int i = 0; i < 20; ++i) {
        xmp += std::string(99, ' ') + "\n";
    }
    return xmp + "<?xpacket end=\"w\"?>";
}
