#pragma once
// Fixed resource identifiers: dialogs, menus, menu commands, controls and string-table entries.
// The handheld's ids are kept as they were (pages, stored work types and the string table refer
// to them); ids from 40000 on are this program's own additions to the string table.

namespace orv {

namespace dialog_id {
constexpr int kSettings = 102;        // CPropertyPageW1
constexpr int kStaticSettings = 103;  // CPropertyPageS1
constexpr int kViewSettings = 104;    // CPropertyPageW2
constexpr int kOtherSettings = 137;   // CPropertyPageS2
constexpr int kMainGrid = 138;        // CPropertyPageView1
constexpr int kMainTrack = 153;       // CPropertyPageView2
constexpr int kGps = 154;             // CPropertyPageGPSView
}  // namespace dialog_id

namespace menu_id {
constexpr int kSession = 128;
constexpr int kColour = 150;
constexpr int kView = 157;
constexpr int kHelp = 40900;
}  // namespace menu_id

namespace command_id {
constexpr int kNew = 32824;
constexpr int kOpen = 32780;
constexpr int kSave = 57603;
constexpr int kSaveAs = 57604;
constexpr int kExport = 40910;  // Session > Export..., beyond the handheld's
constexpr int kClose = 32784;
// View menu (157) of the Main pages.
constexpr int kFitToScreen = 32805;
constexpr int kScaleMarks = 32808;
constexpr int kGrid = 32809;
constexpr int kShowGpsTrack = 32810;
// Colour menu (150) of the view settings page; 10006 on are this program's presets.
constexpr int kColourChange = 10000;
constexpr int kColourAppend = 10001;
constexpr int kColourReverse = 10002;
constexpr int kColourDelete = 10003;
constexpr int kColourRes2dinv = 10004;
constexpr int kColourRgb = 10005;
constexpr int kColourViridis = 10006;
constexpr int kColourCividis = 10007;
constexpr int kColourCoolWarm = 10008;
constexpr int kHelpKeys = 40901;
constexpr int kHelpAbout = 40902;
}  // namespace command_id

namespace control_id {
// Static settings (dialog 103).
constexpr int kMode = 1000;
constexpr int kXSize = 1001;
constexpr int kYSize = 1002;
constexpr int kXStep = 1003;
constexpr int kYStep = 1004;
constexpr int kDevice = 1005;
constexpr int kXStepLabel = 1006;
constexpr int kYStepLabel = 1007;
constexpr int kXSizeLabel = 1008;
constexpr int kYSizeLabel = 1009;
constexpr int kNext = 1010;
constexpr int kFrequency1 = 1011;  // 1011..1024: frequencies 1..14
constexpr int kFrequency14 = 1024;
constexpr int kAdd = 1025;
constexpr int kDelete = 1026;
constexpr int kAllFrequencies = 1027;
constexpr int kTrasser = 1028;
// Other settings (dialog 137).
constexpr int kInstrumentPort = 1049;
constexpr int kGpsPort = 1050;
constexpr int kBaudRate = 1077;
// GPS (dialog 154): static texts.
constexpr int kGpsLatitude = 1064;
constexpr int kGpsLongitude = 1065;
constexpr int kGpsSpeed = 1066;
constexpr int kGpsQuality = 1067;
constexpr int kGpsFixMode = 1068;
constexpr int kGpsVdop = 1069;
constexpr int kGpsHdop = 1070;
constexpr int kGpsPdop = 1071;
constexpr int kGpsSatellitesInView = 1072;
constexpr int kGpsPrns = 1073;
constexpr int kGpsTime = 1074;
constexpr int kGpsDate = 1075;
constexpr int kGpsReceived = 1076;
}  // namespace control_id

namespace string_id {
constexpr int kAppTitle = 1;  // "Orv Control"
constexpr int kMap = 2;
constexpr int kProfile = 3;
constexpr int kLine = 4;
constexpr int kRegistryKey = 5;      // "Quarn"
constexpr int kRegistrySection = 6;  // "Default values"
constexpr int kGpsTrack = 31;
constexpr int kProfileName = 36;  // "OrvControl"
constexpr int kBaudFirst = 73;    // "110" .. "256000": ids 73..87
constexpr int kBaud9600 = 79;
constexpr int kBaudLast = 87;
constexpr int kFailedToConnect = 32774;
constexpr int kMeasureCompleted = 32776;
constexpr int kInsufficientMemory = 32778;
constexpr int kSaveChanges = 32779;
constexpr int kFailedToSetTimer = 32780;
constexpr int kFailedToReadNmea = 32781;
constexpr int kStart = 32791;
constexpr int kStartSeries = 32792;
constexpr int kStopSeries = 32793;
constexpr int kFailedToMeasureSaveChanges = 32825;
constexpr int kUnnamedFile = 61446;     // "an unnamed file"
constexpr int kFileErrorFirst = 61856;  // 61856 + cause code 0..14
constexpr int kFileErrorLast = 61870;

// Page titles.
constexpr int kStaticSettingsTitle = 40001;
constexpr int kOtherSettingsTitle = 40002;
constexpr int kSettingsTitle = 40003;
constexpr int kViewSettingsTitle = 40004;
constexpr int kMainTitle = 40005;
constexpr int kGpsTitle = 40006;
constexpr int kNextButton = 40007;  // "Next >>"
// Static settings labels.
constexpr int kModeLabel = 40010;
constexpr int kXSizeLabel = 40011;
constexpr int kXStepLabel = 40012;
constexpr int kYSizeLabel = 40013;
constexpr int kYStepLabel = 40014;
constexpr int kActiveFrequencies = 40015;
constexpr int kAll = 40016;
constexpr int kDeviceLabel = 40017;
constexpr int kAdd = 40018;
constexpr int kDelete = 40019;
constexpr int kTrasser = 40020;
constexpr int kDeviceEntry = 40021;  // printf: serial, day, month, year
constexpr int kEmptyDeviceList = 40022;
constexpr int kDeleteQuestion = 40023;  // printf: serial, day, month, year
constexpr int kDeleteCaption = 40024;   // printf: serial, day, month, year
constexpr int kAtLeastOneFrequency = 40025;
// Other settings labels.
constexpr int kDeviceGroup = 40030;
constexpr int kGpsReceiverGroup = 40031;
constexpr int kBluetoothPortLabel = 40032;
constexpr int kBaudRateLabel = 40033;
// Validation messages of the data exchange (%1, %2: the limits).
constexpr int kEnterInteger = 40040;
constexpr int kEnterNumber = 40041;
constexpr int kEnterIntegerBetween = 40042;
constexpr int kEnterNumberBetween = 40043;
// Files.
constexpr int kSessionFilter = 40052;
constexpr int kSessionExtension = 40053;
constexpr int kSessionInitialName = 40054;
constexpr int kIniFilter = 40055;
constexpr int kIniExtension = 40056;
constexpr int kIniInitialName = 40057;
constexpr int kCalibrationImportFailed = 40058;  // %1: the reason
constexpr int kSaveFailed = 40059;               // %1: the reason
constexpr int kOpenSessionCaption = 40060;
constexpr int kSaveSessionCaption = 40061;
constexpr int kAddCalibrationCaption = 40062;
constexpr int kCalibrationImportWarnings = 40063;  // %1: what was skipped, one per line
// Recovery of an unsaved survey.
constexpr int kRecoverQuestion = 40070;  // %1: count, %2: the survey
constexpr int kRecoverCaption = 40071;
constexpr int kRecoverFailed = 40072;  // %1: the reason
constexpr int kRecoverUnsavedSurvey = 40073;
constexpr int kRecoverDiscardQuestion = 40074;  // %1: count
constexpr int kWrongFormatDetail = 40075;       // %1: the message, %2: what is wrong
// Shutdown.
constexpr int kSettingsNotSaved = 40080;  // %1: the reason
// Menus.
constexpr int kSessionMenu = 40100;
constexpr int kMenuNew = 40101;
constexpr int kMenuOpen = 40102;
constexpr int kMenuSave = 40103;
constexpr int kMenuClose = 40104;
constexpr int kHelpMenu = 40105;
constexpr int kMenuKeys = 40106;
constexpr int kMenuAbout = 40107;
// Help.
constexpr int kKeysCaption = 40110;
constexpr int kKeysIntroduction = 40111;
constexpr int kKeysLongPress = 40112;
constexpr int kAboutText = 40113;  // %1: version
constexpr int kKeyPreviousPage = 40120;
constexpr int kKeyNextPage = 40121;
constexpr int kKeyStart = 40122;
constexpr int kKeyHigherFrequency = 40123;
constexpr int kKeyLowerFrequency = 40124;
constexpr int kKeyArrows = 40125;
constexpr int kKeyEnter = 40126;
constexpr int kKeyFullScreen = 40127;
// Placeholder of the session pages not yet built.
constexpr int kPagePlaceholder = 40130;  // %1: the page's title
// Signal settings labels (the misspellings are the instrument's own; operators know them).
constexpr int kMeasureUnitsGroup = 40140;
constexpr int kAdcQuantums = 40141;
constexpr int kApparentValues = 40142;
constexpr int kResistivity = 40143;
constexpr int kConductivity = 40144;
constexpr int kSubtractUndercompensation = 40145;
constexpr int kPhaseEqualization = 40146;
constexpr int kNormalizedToCurrent = 40147;
constexpr int kNormalizedToFrequency = 40148;
constexpr int kSignalFilter = 40149;
constexpr int kSignalGroup = 40150;
constexpr int kModule = 40151;
constexpr int kQuadrature = 40152;
constexpr int kInphase = 40153;
constexpr int kCurrentChannel = 40154;
// View settings labels.
constexpr int kDepthLabel = 40160;
constexpr int kMetres = 40161;
constexpr int kPixelRefinementLabel = 40162;
constexpr int kSectionChartLabel = 40163;
constexpr int kMapChartLabel = 40164;
constexpr int kTo = 40165;
constexpr int kTimerLabel = 40166;
constexpr int kTimesEvery = 40167;
constexpr int kMilliseconds = 40168;
constexpr int kShowGraphicsGroup = 40169;
constexpr int kSoundingCurve = 40170;
constexpr int kProfileCurveAfter = 40171;
constexpr int kStations = 40172;
constexpr int kFilterProfileCurve = 40173;
constexpr int kShowPoints = 40174;
constexpr int kPoints = 40175;
constexpr int kSectionAfter = 40176;
constexpr int kMapAfter = 40177;
constexpr int kSections = 40178;
// The Colour menu (150) of the view settings page.
constexpr int kColourMenu = 40180;
constexpr int kMenuChange = 40181;
constexpr int kMenuAppend = 40182;
constexpr int kMenuReverse = 40183;
constexpr int kMenuDeleteColour = 40184;
constexpr int kMenuRgb = 40185;
constexpr int kMenuRes2dinv = 40186;
constexpr int kMenuViridis = 40187;
constexpr int kMenuCividis = 40188;
constexpr int kMenuCoolWarm = 40189;
// GPS page labels and texts.
constexpr int kLatitudeLabel = 40200;
constexpr int kLongitudeLabel = 40201;
constexpr int kSpeedLabel = 40202;
constexpr int kQualityLabel = 40203;
constexpr int kFixModeLabel = 40204;
constexpr int kVdopLabel = 40205;
constexpr int kHdopLabel = 40206;
constexpr int kPdopLabel = 40207;
constexpr int kSatellitesInViewLabel = 40208;
constexpr int kPrnsLabel = 40209;
constexpr int kDateTimeLabel = 40210;
constexpr int kReceivedLabel = 40211;
constexpr int kNotAvailable = 40212;  // quality and fix mode before the first refresh
constexpr int kInitialSpeed = 40213;  // "0.00 km/h", before the first refresh
constexpr int kDataValid = 40214;
constexpr int kFixNotAvailable = 40215;
constexpr int kFix2D = 40216;
constexpr int kFix3D = 40217;
constexpr int kFixUnknown = 40218;
// Main pages labels.
constexpr int kProfileLabel = 40230;
constexpr int kStationLabel = 40231;
constexpr int kFrequencyLabel = 40232;
constexpr int kRadiusLabel = 40233;
constexpr int kBatteryRemaining = 40234;  // printf: the charge in percent
constexpr int kReady = 26;                // the status text with no graphic
constexpr int kCancelExchange = 40235;    // ends an exchange with the instrument that hangs
constexpr int kRadiusUnit = 40236;        // after "Radius:": the track map's radius is in cells
// The View menu (157) of the Main pages.
constexpr int kViewMenuTitle = 40240;
constexpr int kGridItem = 40241;
constexpr int kScaleMarksItem = 40242;
constexpr int kFitToScreenItem = 40243;
constexpr int kShowGpsTrackItem = 40244;
// The status strip and the window title.
constexpr int kStripInstrumentConnected = 40250;
constexpr int kStripInstrumentConnecting = 40251;    // %1: the port
constexpr int kStripInstrumentNotAnswering = 40252;  // %1: the port
constexpr int kStripInstrumentNoPort = 40253;        // %1: the port
constexpr int kStripInstrumentClosed = 40254;
constexpr int kStripGpsFix = 40255;  // %1: quality, %2: satellites used, %3: fix age in seconds
constexpr int kStripGpsNoFix = 40256;
constexpr int kStripGpsNoPort = 40257;           // %1: the port
constexpr int kStripGpsConnecting = 40258;       // %1: the port
constexpr int kStripGpsLost = 40259;             // %1: the port
constexpr int kStripInstrumentBattery = 40260;   // %1: volts
constexpr int kStripHandheldBattery = 40261;     // %1: percent
constexpr int kStripCalibrationStandIn = 40262;  // %1: serial, %2: serial used, %3: its date
constexpr int kStripUnpositioned = 40263;        // %1: count
constexpr int kTitleWithFile = 40264;            // %1: the file's name, %2: the program's title
constexpr int kTitleUnsaved = 40265;
constexpr int kFixQualityInvalid = 40266;
constexpr int kFixQualityGps = 40267;
constexpr int kFixQualityDgps = 40268;
constexpr int kFixQualityRtk = 40269;
constexpr int kFixQualityFloat = 40270;
constexpr int kFixQualityOther = 40271;
constexpr int kFixAgeLabel = 40272;                // the GPS page: "Fix age:"
constexpr int kFixAgeSeconds = 40273;              // %1: seconds
constexpr int kStripUnpositionedStations = 40277;  // %1: count, %2: the stations
// The Simulator menu of --simulate.
constexpr int kSimulatorMenu = 40280;
constexpr int kSimulatorDropInstrument = 40281;
constexpr int kSimulatorStallGps = 40282;
constexpr int kSimulatorDropGps = 40283;
// Session commands beyond the handheld's.
constexpr int kMenuSaveAs = 40290;
constexpr int kSavedNote = 40291;  // %1: the file's name
// Session > Export...
constexpr int kMenuExport = 40300;
constexpr int kExportTitle = 40301;
constexpr int kExportFormat = 40302;
constexpr int kExportFrequency = 40303;
constexpr int kExportAllFrequencies = 40304;
constexpr int kExportUnit = 40305;
constexpr int kExportUnitAsShown = 40306;
constexpr int kExportCrs = 40307;
constexpr int kExportCrsOwn = 40308;
constexpr int kExportProgress = 40309;  // %1: the file's name
constexpr int kExportDone = 40310;      // %1: stations, %2: the file's name
constexpr int kExportFailed = 40311;    // %1: the reason
constexpr int kExportCancel = 40312;
constexpr int kExportCrsUtm = 40313;
constexpr int kExportRasterDone = 40314;  // %1: columns, %2: rows, %3: the file's name
// The strip: the journal cannot be written.
constexpr int kStripJournalProblem = 40330;  // %1: why
}  // namespace string_id

}  // namespace orv
