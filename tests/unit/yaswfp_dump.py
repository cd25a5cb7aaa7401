#!/usr/bin/python3
"""Prints what Debian's yaswfp parser reads from a .swf file, one line per
tag (sprites' tags indented), so a test can compare it with what it wrote."""
import sys

from yaswfp import swfparser


def shape_records(shapes):
    out = []
    for r in shapes.ShapeRecords:
        kind = type(r).__name__
        name = r.name
        if name == "StyleChangeRecord":
            parts = []
            if r.StateMoveTo:
                parts.append("move %d %d" % (r.MoveDeltaX, r.MoveDeltaY))
            if r.StateFillStyle1:
                parts.append("fill1 %d" % r.FillStyle1)
            if r.StateFillStyle0:
                parts.append("fill0 %d" % r.FillStyle0)
            if r.StateLineStyle:
                parts.append("line %d" % r.LineStyle)
            out.append("S(" + ", ".join(parts) + ")")
        elif name == "StraightEdgeRecord":
            out.append("L %d %d" % (getattr(r, "DeltaX", 0), getattr(r, "DeltaY", 0)))
        elif name == "CurvedEdgeRecord":
            out.append("C %d %d %d %d" % (r.ControlDeltaX, r.ControlDeltaY, r.AnchorDeltaX, r.AnchorDeltaY))
        else:
            out.append("?" + kind)
    return " ".join(out)


def action_text(a):
    name = a.name
    if name == "ActionGetURL":
        return "GetURL(%s, %s)" % (a.UrlString, a.TargetString)
    if name == "ActionPush":
        for field in ("String", "Float", "Double", "Integer", "Boolean", "Constant8"):
            if hasattr(a, field):
                return "Push(%s %s)" % (field, getattr(a, field))
        return "Push(type %d)" % a.Type
    return name


def dump(tags, indent):
    for tag in tags:
        name = tag.name
        kind = type(tag).__name__
        if kind in ("FailingObject", "UnknownObject"):
            print(indent + "UNREAD " + name)
            continue
        if name == "SetBackgroundColor":
            print(indent + "%s %s" % (name, tag.BackgroundColor))
        elif name.startswith("DefineShape"):
            fills = [f.Color for f in tag.Shapes.FillStyles.FillStyles]
            lines = [(l.Width, l.Color) for l in tag.Shapes.LineStyles.LineStyles]
            print(indent + "%s %d bounds %s fills %s lines %s: %s" % (
                name, tag.ShapeId, tag.ShapeBounds, fills, lines, shape_records(tag.Shapes)))
        elif name == "PlaceObject2":
            line = "%s depth %d" % (name, tag.Depth)
            if tag.PlaceFlagMove:
                line += " move"
            if tag.PlaceFlagHasCharacter:
                line += " character %d" % tag.CharacterId
            if tag.PlaceFlagHasMatrix:
                # yaswfp reads a translation of 0 bits as None.
                line += " at %d %d" % (tag.Matrix.TranslateX or 0, tag.Matrix.TranslateY or 0)
            print(indent + line)
        elif name == "RemoveObject2":
            print(indent + "%s depth %d" % (name, tag.Depth))
        elif name == "DoAction":
            print(indent + "DoAction " + "; ".join(action_text(a) for a in tag.Actions))
        elif name == "FrameLabel":
            print(indent + "FrameLabel " + tag.Name)
        elif name == "DefineSprite":
            print(indent + "DefineSprite %d frames %d" % (tag.CharacterID, tag.FrameCount))
            dump(tag.ControlTags, indent + "  ")
        else:
            print(indent + name)


def main():
    with open(sys.argv[1], "rb") as f:
        parsed = swfparser.SWFParser(f)
    h = parsed.header
    print("%s version %d frames %d size %s rate %d" % (h.Signature, h.Version, h.FrameCount, h.FrameSize, h.FrameRate))
    dump(parsed.tags, "")


main()
