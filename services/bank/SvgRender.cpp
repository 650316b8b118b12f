#include "SvgRender.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <librsvg/rsvg.h>
#include <memory>

namespace kestrova::services {

namespace {

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct ErrorFree
{
    void operator()(GError* error) const { g_error_free(error); }
};
struct SurfaceDestroy
{
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDestroy
{
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// The drawing's own size in pixels: width/height when given, else the viewBox.
bool intrinsicSize(RsvgHandle* handle, double& width, double& height)
{
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height) && width > 0 && height > 0)
        return true;
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength w{}, h{};
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &w, &hasHeight, &h, &hasViewBox, &viewBox);
    if (hasViewBox && viewBox.width > 0 && viewBox.height > 0) {
        width = viewBox.width;
        height = viewBox.height;
        return true;
    }
    return false;
}

} // namespace

std::optional<std::string> renderSvgToPng(std::string_view svg, int maxWidth, int maxHeight,
                                          std::string& error)
{
    GError* rawError = nullptr;
    std::unique_ptr<RsvgHandle, GObjectUnref> handle(
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &rawError));
    std::unique_ptr<GError, ErrorFree> loadError(rawError);
    if (!handle) {
        error = loadError ? loadError->message : "not an SVG drawing";
        return std::nullopt;
    }
    double width = 0, height = 0;
    if (!intrinsicSize(handle.get(), width, height)) {
        error = "the drawing has neither a size nor a viewBox";
        return std::nullopt;
    }
    const double scale = std::min(maxWidth / width, maxHeight / height);
    const int outWidth = std::max(1, static_cast<int>(std::lround(width * scale)));
    const int outHeight = std::max(1, static_cast<int>(std::lround(height * scale)));

    std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, outWidth, outHeight));
    std::unique_ptr<cairo_t, ContextDestroy> context(cairo_create(surface.get()));
    if (cairo_status(context.get()) != CAIRO_STATUS_SUCCESS) {
        error = "cannot create a drawing surface";
        return std::nullopt;
    }
    cairo_set_source_rgb(context.get(), 1, 1, 1);
    cairo_paint(context.get());
    const RsvgRectangle viewport{0, 0, static_cast<double>(outWidth), static_cast<double>(outHeight)};
    rawError = nullptr;
    const gboolean drawn = rsvg_handle_render_document(handle.get(), context.get(), &viewport, &rawError);
    std::unique_ptr<GError, ErrorFree> renderError(rawError);
    if (!drawn) {
        error = renderError ? renderError->message : "the drawing cannot be rendered";
        return std::nullopt;
    }
    cairo_surface_flush(surface.get());
    std::string png;
    if (cairo_surface_write_to_png_stream(surface.get(), appendPng, &png) != CAIRO_STATUS_SUCCESS) {
        error = "cannot encode the PNG";
        return std::nullopt;
    }
    return png;
}

} // namespace kestrova::services
