// Control ids of the two windows: 1000 + the design's tab index on the main window, 2000 +
// it on the preview, so that tools that find controls by id see the design's numbering.
#pragma once

namespace pellix::win32::ids {

// Main window.
constexpr int fraGame = 1000;
constexpr int fraName = 1001;
constexpr int Label1 = 1002;
constexpr int Label2 = 1003;
constexpr int txtROM = 1004;
constexpr int txtOutput = 1005;
constexpr int Label3 = 1006;
constexpr int txtTitle1 = 1007;
constexpr int txtTitle2 = 1008;
constexpr int txtTitle3 = 1009;
constexpr int fraCustom = 1010;
constexpr int cmdPreview = 1011;
constexpr int cmdCustomize = 1012;
constexpr int cmdGo = 1013;
constexpr int Label4 = 1014;
constexpr int Label5 = 1015;
constexpr int txtIcon = 1016;
constexpr int txtBorder = 1017;
constexpr int cmdBrowseROM = 1018;
constexpr int cmdBrowseFolder = 1019;
constexpr int cmdBrowseIcon = 1020;
constexpr int cmdBrowseBorder = 1021;
constexpr int Label6 = 1022;
constexpr int Label7 = 1023;
constexpr int Label8 = 1024;
constexpr int Label9 = 1025;
constexpr int Picture1 = 1026;
constexpr int Picture2 = 1027;
constexpr int Label10 = 1028;
constexpr int chkPSRAM = 1029;
constexpr int Label11 = 1030;
constexpr int chkCompression = 1031;

// Preview window.
constexpr int picBG = 2000;
constexpr int picIcon = 2001;
constexpr int lblTitle1 = 2002;
constexpr int lblTitle2 = 2003;
constexpr int lblTitle3 = 2004;
constexpr int previewNote = 2005;  // the design's Label1 of the preview
constexpr int cmdClose = 2006;

}  // namespace pellix::win32::ids
