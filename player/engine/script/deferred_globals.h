#pragma once
// Built-in globals made on first use. A movie touches a handful of the
// platform's classes, while making all of them was most of a stage's start;
// each group of globals below stands in _global from the start, in its place
// and with its flags, and is made when a script (or the player) first reads
// one of its names. Until then, what a script does with the names (lists
// them, hides them, deletes or replaces them) is kept when the group is made.

#include <cstddef>
#include <span>
#include <string_view>

#include "vm.h"

namespace swf {

struct DeferredName {
  std::string_view name;
  std::uint16_t flags = kDontEnum;
};

struct DeferredGroup {
  // The globals the installer defines, in the order it defines them.
  std::span<const DeferredName> names;
  void (*install)(Vm& vm) = nullptr;
  // Globals the installer reads: it sees them as they were at the start,
  // whatever a script did to them since.
  std::span<const std::string_view> reads;
};

// Stands the group's names in _global, to be made on first read.
void DeferGlobals(Vm& vm, const DeferredGroup& group);

// Makes every group still waiting (a test compares the result with a stage
// whose globals were all made at once).
void MakeDeferredGlobals(Vm& vm);

// When off, DeferGlobals installs at once (the comparison's other side).
void SetGlobalsDeferred(bool deferred);

// How many waiting groups this process has made so far: a stage whose
// scripts read none of their names must leave the count as it was.
std::size_t DeferredGroupsMade();

// The groups, each deferred where its installers ran among the others.
void DeferDateClass(Vm& vm);
void DeferSoundClass(Vm& vm);
void DeferXmlClasses(Vm& vm);
// MovieClipLoader, ContextMenu, PrintJob, Key, Mouse, Stage, System and the
// other classes and objects of platform_objects.cpp.
void DeferPlatformObjects(Vm& vm);
// flash.geom, flash.display, flash.filters, flash.external, flash.text,
// flash.net and Color.
void DeferFlashPackages(Vm& vm);

// The parts of the platform's objects and of the net classes that live in the
// flash package, made with it.
void InstallPlatformPackages(Vm& vm);
void InstallNetPackage(Vm& vm);

}  // namespace swf
