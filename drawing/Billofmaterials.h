#pragma once
// The bill of materials of a drawing: one CSV row per placed part.
//
// Columns, after the header line
//   Designation,Part,Parts,Value,Package,X,Y,Zone,Angle,Mirrored
// the designation without the part letter, the part number and the number of
// parts, the value and package texts, the anchor in page pixels and the sheet
// zone that holds it, the recorded turn in degrees (0, 90, 180, 270) and "yes"
// when the part is mirrored (empty otherwise).
//
// Rows are sorted by designation in natural order (R2 before R10), then by
// part number; equal keys keep the order given. The record's 8-bit texts are
// read as Latin-1 and written as UTF-8. Fields holding a comma, a double
// quote, CR or LF are quoted with their quotes doubled; every line, the
// header line too, ends in CR LF.

#include <QByteArray>
#include <QSize>
#include <vector>

class Bitmap;

// The whole file for `components` (null entries are left out) on a page of
// `page` pixels.
QByteArray BillOfMaterials(const std::vector<const Bitmap*>& components, QSize page);
