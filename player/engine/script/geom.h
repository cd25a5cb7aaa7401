#pragma once
// What the flash.geom classes share with the classes that use them
// (BitmapData, Color, MovieClip.transform): making their objects and reading
// the members of objects that look like them.

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "bitmap_pixels.h"
#include "vm.h"

namespace swf {

// The class flash.geom.<name> as the movie sees it now (null when gone).
Object* GeomClass(Vm& vm, std::string_view name);
// `new flash.geom.<name>(args)`; null when the class is gone.
Object* NewGeom(Vm& vm, std::string_view name, std::span<const Value> args);
Object* NewPoint(Vm& vm, double x, double y);
Object* NewRectangle(Vm& vm, double x, double y, double width, double height);
Object* NewMatrix(Vm& vm, const ClipMatrix& m);
Object* NewColorTransform(Vm& vm, const ColorTerms& terms);

// The object a value holds (null for primitives).
Object* AsObjectValue(const Value& value);
// Whether the object (or, with `own`, the object itself) has the member.
bool HasMember(Vm& vm, Object* object, std::string_view name, bool own = false);
// A member as a number (NaN when missing or not a number).
double NumberMember(Vm& vm, Object* object, std::string_view name);
// A number as the platform's pixel operations take it: a whole 32-bit
// number, NaN and infinities 0.
int PixelInt(double number);

// The matrix and colour terms an object holds in flash.geom's member names.
ClipMatrix ReadMatrix(Vm& vm, Object* object);
ColorTerms ReadColorTerms(Vm& vm, Object* object);

// The pixels of a BitmapData object (null when it is none or disposed).
const PixelBitmap* ScriptBitmapPixels(Object* object);
// The live bitmap of a BitmapData object, shared with what shows it (null
// when it is none or disposed).
std::shared_ptr<const LiveBitmap> ScriptLiveBitmap(Object* object);

void InstallGeomClasses(Vm& vm);
void InstallBitmapDataClass(Vm& vm);
// flash.filters.DisplacementMapFilter (displacement_filter.cpp).
void InstallDisplacementMapFilter(Vm& vm);
// The displacement a DisplacementMapFilter object describes (its map's
// pixels copied as they are now; nullopt for any other object), and a new
// filter object for one, its map a new BitmapData of the kept pixels.
std::optional<Filter> ScriptDisplacementFilter(Vm& vm, Object* object);
Value NewScriptDisplacementFilter(Vm& vm, const Filter& filter);
// The pixels of a BitmapData object unmultiplied, row by row: one copy
// shared until the pixels change (null when it is none or disposed).
std::shared_ptr<const std::vector<std::uint32_t>> ScriptBitmapSnapshot(Object* object);
// A new BitmapData object holding a copy of `pixels` (undefined when the
// class is gone or the movie's bitmaps are full).
Value NewScriptBitmap(Vm& vm, const PixelBitmap& pixels);
// flash.filters.BlurFilter (blur_filter.cpp).
void InstallBlurFilter(Vm& vm);
// The flash.filters package object, made when missing (null when the movie
// took flash away).
Object* FiltersPackage(Vm& vm);
// The other filter classes (filter_classes.cpp), and the filter a filter
// object describes (nullopt for anything else) or a new object for one.
void InstallFilterClasses(Vm& vm);
std::optional<Filter> ScriptFilter(Vm& vm, Object* object);
Value NewScriptFilter(Vm& vm, const Filter& filter);
// Makes `property` the `filters` of the display objects `owns` accepts: it
// reads a new list of filter objects and takes a list of them (anything not
// a filter left out).
void DefineFiltersProperty(Vm& vm, Property& property, bool (*owns)(Vm& vm, Object* self));
void InstallColorClass(Vm& vm);

}  // namespace swf
