/* vips-batch W H Q OUTDIR FILE...
 * Page preparation with libvips in ONE process (no per-picture start-up, no temp file):
 * thumbnail (shrink-on-load, lanczos3 reduce, up- or down-size to fit W x H),
 * gravity centre on white, jpegsave Q.  Output: OUTDIR/<basename>.jpg
 * Build: cc -O2 vips-batch.c $(pkg-config --cflags --libs vips) -o vips-batch
 */
#include <vips/vips.h>
#include <libgen.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (VIPS_INIT(argv[0]))
        vips_error_exit(NULL);
    if (argc < 6) {
        fprintf(stderr, "usage: %s W H Q OUTDIR FILE...\n", argv[0]);
        return 2;
    }
    vips_cache_set_max(0); /* every picture is new: keep nothing */
    int W = atoi(argv[1]), H = atoi(argv[2]), Q = atoi(argv[3]), rc = 0;
    const char *outdir = argv[4];
    double white[1] = {255};
    for (int i = 5; i < argc; i++) {
        VipsImage *t = NULL, *g = NULL;
        char out[4096], tmp[4096];
        snprintf(tmp, sizeof tmp, "%s", argv[i]);
        snprintf(out, sizeof out, "%s/%s.jpg", outdir, basename(tmp));
        VipsArrayDouble *bg = vips_array_double_new(white, 1);
        if (vips_thumbnail(argv[i], &t, W, "height", H, NULL) ||
            vips_gravity(t, &g, VIPS_COMPASS_DIRECTION_CENTRE, W, H,
                         "extend", VIPS_EXTEND_BACKGROUND, "background", bg, NULL) ||
            vips_jpegsave(g, out, "Q", Q, NULL)) {
            fprintf(stderr, "%s: %s", argv[i], vips_error_buffer());
            vips_error_clear();
            rc = 1;
        }
        vips_area_unref(VIPS_AREA(bg));
        if (t) g_object_unref(t);
        if (g) g_object_unref(g);
    }
    vips_shutdown();
    return rc;
}
