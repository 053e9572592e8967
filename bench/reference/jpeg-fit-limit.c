/* jpeg-fit-limit W H Q OUTDIR FILE.jpg...
 * A lower-bound probe for the page preparation of JPEG input, in ONE process with
 * libjpeg-turbo (TurboJPEG API), no imaging library:
 *   read file -> decode with DCT-domain scaling (smallest M/8 that still covers
 *   the fit box) -> separable area-average resample into a white W x H RGB
 *   page (fit, centred, margins by the same truncation rules as ours) ->
 *   encode Q, 4:2:0 -> write OUTDIR/<basename>.jpg
 * Prints per-phase totals (ms/page) to stderr.  JPEG input only.
 * Build: cc -O2 jpeg-fit-limit.c -lturbojpeg -o jpeg-fit-limit
 */
#include <turbojpeg.h>
#include <libgen.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double now(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

/* 1-D area-average taps from n_in to n_out samples (n_out <= n_in), 14-bit weights */
typedef struct { int *start, *cnt, *w, maxn; } Taps;

static Taps make_taps(int n_in, int n_out)
{
    Taps t;
    double s = (double)n_in / n_out;
    t.maxn = (int)s + 2;
    t.start = malloc(sizeof(int) * n_out);
    t.cnt = malloc(sizeof(int) * n_out);
    t.w = calloc((size_t)n_out * t.maxn, sizeof(int));
    for (int x = 0; x < n_out; x++) {
        double a = x * s, b = (x + 1) * s;
        int j0 = (int)a, j1 = (int)b;
        if (j1 >= n_in) j1 = n_in - 1;
        int n = 0, sum = 0;
        for (int j = j0; j <= j1 && n < t.maxn; j++) {
            double lo = j > a ? j : a, hi = (j + 1) < b ? (j + 1) : b;
            int wt = (int)((hi - lo) / s * 16384.0 + 0.5);
            if (hi <= lo) wt = 0;
            t.w[x * t.maxn + n++] = wt;
            sum += wt;
        }
        t.w[x * t.maxn + n - 1] += 16384 - sum; /* exact unity */
        t.start[x] = j0;
        t.cnt[x] = n;
    }
    return t;
}

int main(int argc, char **argv)
{
    if (argc < 6) {
        fprintf(stderr, "usage: %s W H Q OUTDIR FILE.jpg...\n", argv[0]);
        return 2;
    }
    int W = atoi(argv[1]), H = atoi(argv[2]), Q = atoi(argv[3]), rc = 0;
    const char *outdir = argv[4];
    tjhandle dec = tjInitDecompress(), enc = tjInitCompress();
    int nsf;
    tjscalingfactor *sfs = tjGetScalingFactors(&nsf);
    unsigned char *page = malloc((size_t)W * H * 3);
    double t_read = 0, t_dec = 0, t_res = 0, t_enc = 0, t_write = 0;
    int pages = 0;

    for (int i = 5; i < argc; i++) {
        double t0 = now();
        FILE *f = fopen(argv[i], "rb");
        if (!f) { perror(argv[i]); rc = 1; continue; }
        fseek(f, 0, SEEK_END);
        long sz = ftell(f);
        fseek(f, 0, SEEK_SET);
        unsigned char *buf = malloc(sz);
        if (fread(buf, 1, sz, f) != (size_t)sz) { perror(argv[i]); fclose(f); free(buf); rc = 1; continue; }
        fclose(f);
        double t1 = now();

        int w, h, ss, cs;
        if (tjDecompressHeader3(dec, buf, sz, &w, &h, &ss, &cs)) {
            fprintf(stderr, "%s: %s\n", argv[i], tjGetErrorStr2(dec)); free(buf); rc = 1; continue;
        }
        /* fit box: single-precision ratios, truncation */
        float pr = (float)W / H, ir = (float)w / h;
        int fw, fh, left, top;
        if (pr < ir) { double e = (double)W * h / w; fw = W; fh = (int)e; left = 0; top = (int)((int)(H - e) * 0.5); }
        else if (ir < pr) { double e = (double)w * H / h; fh = H; fw = (int)e; top = 0; left = (int)((int)(W - e) * 0.5); }
        else { fw = W; fh = H; left = top = 0; }
        /* smallest DCT scaling factor whose output still covers the fit box */
        tjscalingfactor best = {1, 1};
        double bestv = 1e9;
        for (int k = 0; k < nsf; k++) {
            double v = (double)sfs[k].num / sfs[k].denom;
            if (v > 1.0) continue;
            if (TJSCALED(w, sfs[k]) >= fw && TJSCALED(h, sfs[k]) >= fh && v < bestv) { bestv = v; best = sfs[k]; }
        }
        int sw = TJSCALED(w, best), sh = TJSCALED(h, best);
        unsigned char *src = malloc((size_t)sw * sh * 3);
        if (tjDecompress2(dec, buf, sz, src, sw, 0, sh, TJPF_RGB, 0)) {
            fprintf(stderr, "%s: %s\n", argv[i], tjGetErrorStr2(dec)); free(buf); free(src); rc = 1; continue;
        }
        free(buf);
        double t2 = now();

        /* resample sw x sh -> fw x fh into the white page at (left, top) */
        memset(page, 255, (size_t)W * H * 3);
        if (sw < fw) sw = fw; /* cannot happen for the chosen factor; guards the taps */
        if (sh < fh) sh = fh;
        Taps tx = make_taps(sw, fw), ty = make_taps(sh, fh);
        unsigned char *mid = malloc((size_t)fw * sh * 3);
        for (int y = 0; y < sh; y++) {
            const unsigned char *s = src + (size_t)y * sw * 3;
            unsigned char *d = mid + (size_t)y * fw * 3;
            for (int x = 0; x < fw; x++) {
                const int *wt = tx.w + x * tx.maxn;
                const unsigned char *p = s + tx.start[x] * 3;
                int r = 0, g = 0, b = 0;
                for (int k = 0; k < tx.cnt[x]; k++, p += 3) { r += wt[k] * p[0]; g += wt[k] * p[1]; b += wt[k] * p[2]; }
                d[3 * x] = (r + 8192) >> 14; d[3 * x + 1] = (g + 8192) >> 14; d[3 * x + 2] = (b + 8192) >> 14;
            }
        }
        int *acc = malloc(sizeof(int) * fw * 3);
        for (int y = 0; y < fh; y++) {
            memset(acc, 0, sizeof(int) * fw * 3);
            const int *wt = ty.w + y * ty.maxn;
            for (int k = 0; k < ty.cnt[y]; k++) {
                const unsigned char *s = mid + (size_t)(ty.start[y] + k) * fw * 3;
                for (int x = 0; x < fw * 3; x++) acc[x] += wt[k] * s[x];
            }
            unsigned char *d = page + ((size_t)(top + y) * W + left) * 3;
            for (int x = 0; x < fw * 3; x++) d[x] = (acc[x] + 8192) >> 14;
        }
        free(acc); free(mid); free(src);
        free(tx.start); free(tx.cnt); free(tx.w); free(ty.start); free(ty.cnt); free(ty.w);
        double t3 = now();

        unsigned char *jbuf = NULL;
        unsigned long jsz = 0;
        if (tjCompress2(enc, page, W, 0, H, TJPF_RGB, &jbuf, &jsz, TJSAMP_420, Q, 0)) {
            fprintf(stderr, "%s: %s\n", argv[i], tjGetErrorStr2(enc)); rc = 1; continue;
        }
        double t4 = now();
        char out[4096], tmp[4096];
        snprintf(tmp, sizeof tmp, "%s", argv[i]);
        snprintf(out, sizeof out, "%s/%s.jpg", outdir, basename(tmp));
        FILE *o = fopen(out, "wb");
        if (!o || fwrite(jbuf, 1, jsz, o) != jsz) { perror(out); rc = 1; }
        if (o) fclose(o);
        tjFree(jbuf);
        double t5 = now();
        t_read += t1 - t0; t_dec += t2 - t1; t_res += t3 - t2; t_enc += t4 - t3; t_write += t5 - t4;
        pages++;
    }
    if (pages)
        fprintf(stderr, "jpeg-fit-limit: %d pages; ms/page: read %.1f, decode(scaled) %.1f, resample+pad %.1f, encode %.1f, write %.1f, total %.1f\n",
                pages, 1e3 * t_read / pages, 1e3 * t_dec / pages, 1e3 * t_res / pages, 1e3 * t_enc / pages,
                1e3 * t_write / pages, 1e3 * (t_read + t_dec + t_res + t_enc + t_write) / pages);
    free(page);
    tjDestroy(dec);
    tjDestroy(enc);
    return rc;
}
