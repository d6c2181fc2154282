/* The libvips peer of the sheet benchmarks: the same work as one sheet render, as one streamed libvips
 * pipeline (libvips computes regions on demand, so nothing but the tiles in flight is held in memory):
 * import through the photo's embedded profile into linear light, turn a quarter clockwise when asked,
 * enlarge to fill the sheet (libvips enlarges with bicubic interpolation), crop the centre, sharpen, and
 * export through the output profile at 16 bits into an uncompressed TIFF.
 *
 *   vips-chain IN OUT.tif PROFILE WIDTH HEIGHT TURN(0|1) SIGMA INTENT(perceptual|relative) BPC(0|1)
 *
 * Built by compare.sh against libvips-dev; not part of the engine. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vips/vips.h>

int main(int argc, char** argv) {
    if (argc != 10) {
        fprintf(stderr, "usage: %s IN OUT.tif PROFILE WIDTH HEIGHT TURN SIGMA INTENT BPC\n", argv[0]);
        return 2;
    }
    if (VIPS_INIT(argv[0])) {
        vips_error_exit(NULL);
    }
    const int width = atoi(argv[4]), height = atoi(argv[5]), turn = atoi(argv[6]);
    const double sigma = atof(argv[7]);
    const VipsIntent intent = strcmp(argv[8], "perceptual") == 0 ? VIPS_INTENT_PERCEPTUAL : VIPS_INTENT_RELATIVE;
    const gboolean bpc = atoi(argv[9]) != 0;

    VipsObject* context = VIPS_OBJECT(vips_image_new());
    VipsImage** t = (VipsImage**)vips_object_local_array(context, 8);
    if (!(t[0] = vips_image_new_from_file(argv[1], NULL))) {
        vips_error_exit(NULL);
    }
    /* Linear light: the connection space XYZ, in floats. */
    if (vips_icc_import(t[0], &t[1], "embedded", TRUE, "pcs", VIPS_PCS_XYZ, "intent", VIPS_INTENT_RELATIVE, NULL)) {
        vips_error_exit(NULL);
    }
    VipsImage* upright = t[1];
    if (turn) {
        if (vips_rot(t[1], &t[2], VIPS_ANGLE_D90, NULL)) {
            vips_error_exit(NULL);
        }
        upright = t[2];
    }
    const double sx = (double)width / upright->Xsize, sy = (double)height / upright->Ysize;
    const double scale = sx > sy ? sx : sy;
    if (vips_resize(upright, &t[3], scale, NULL)) {
        vips_error_exit(NULL);
    }
    const int left = (t[3]->Xsize - width) / 2, top = (t[3]->Ysize - height) / 2;
    if (vips_crop(t[3], &t[4], left, top, width, height, NULL)) {
        vips_error_exit(NULL);
    }
    if (vips_sharpen(t[4], &t[5], "sigma", sigma, NULL)) {
        vips_error_exit(NULL);
    }
    if (vips_icc_export(t[5], &t[6], "output_profile", argv[3], "intent", intent, "black_point_compensation", bpc,
                        "depth", 16, NULL)) {
        vips_error_exit(NULL);
    }
    if (vips_tiffsave(t[6], argv[2], NULL)) {
        vips_error_exit(NULL);
    }
    g_object_unref(context);
    vips_shutdown();
    return 0;
}
