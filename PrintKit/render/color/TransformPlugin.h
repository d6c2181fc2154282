// What each of the engine's Little CMS transform plug-ins needs around its own evaluator: the record to
// register, the taking of a transform, its lines, the release of an evaluator with its transform, and the
// question whether a transform is one the plug-in took. An evaluator carries its plug-in's mark
// (Evaluator::tag in `mark`) first thing, so that transforms of other plug-ins, or Little CMS's own, are told
// apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <lcms2.h>
#include <lcms2_plugin.h>
#include <memory>

namespace PrintKit::TransformPlugin {

// The plug-in record for cmsCreateContext, one per factory; it lives as long as the program.
template <_cmsTransform2Factory factory> void* record() {
    static cmsPluginTransform plugin = [] {
        cmsPluginTransform p{};
        p.base = {cmsPluginMagicNumber, LCMS_VERSION, cmsPluginTransformSig, nullptr};
        p.factories.xform = factory;
        return p;
    }();
    return &plugin;
}

template <typename Evaluator> void release(cmsContext, void* data) {
    delete static_cast<Evaluator*>(data);
}

// A factory's answer: builds the plug-in's evaluator for a transform (null when the plug-in declines it) and
// gives it, with the plug-in's transform function, to Little CMS, which releases it with its transform. When
// memory runs out while building, Little CMS's own evaluation serves.
template <typename Build>
cmsBool take(Build build, _cmsTransform2Fn transform, _cmsTransform2Fn* xform, void** userData,
             _cmsFreeUserDataFn* freeData) {
    try {
        auto evaluator = build();
        if (!evaluator) {
            return FALSE;
        }
        using Evaluator = typename decltype(evaluator)::element_type;
        *xform = transform;
        *userData = evaluator.release();
        *freeData = release<Evaluator>;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// Runs row(in, out) over each line of a transform call, at the byte strides Little CMS gives.
template <typename Row>
void eachLine(const void* input, void* output, cmsUInt32Number lines, const cmsStride* stride, Row row) {
    for (cmsUInt32Number line = 0; line < lines; ++line) {
        row(static_cast<const std::uint8_t*>(input) + std::size_t{line} * stride->BytesPerLineIn,
            static_cast<std::uint8_t*>(output) + std::size_t{line} * stride->BytesPerLineOut);
    }
}

template <typename Evaluator> bool evaluates(cmsHTRANSFORM transform) {
    if (!transform) {
        return false;
    }
    const auto* e = static_cast<const Evaluator*>(
        _cmsGetTransformUserData(static_cast<struct _cmstransform_struct*>(transform)));
    return e && e->mark == Evaluator::tag;
}

} // namespace PrintKit::TransformPlugin
