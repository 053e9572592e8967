#include "EmfPicture.h"

#include "metafile/EmfFile.h"
#include "metafile/MetafileRenderer.h"

bool LooksLikeEmf(std::string_view head) {
    return metafile::IsEmfSignature(head);
}

EmfDrawing RenderEmf(std::string_view bytes, int fitWidth, int fitHeight) {
    const metafile::RenderedMetafile rendered = metafile::RenderMetafile(bytes, fitWidth, fitHeight);
    EmfDrawing drawing;
    drawing.image =
        vips::VImage::new_from_memory(const_cast<uint8_t*>(rendered.rgb.data()), rendered.rgb.size(),
                                      rendered.width, rendered.height, 3, VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .copy_memory(); // the pixels outlive `rendered`
    drawing.problem = rendered.problem;
    return drawing;
}
