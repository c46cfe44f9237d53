// Resource, command and string identifiers. Shared by the resource script and
// the program, so it holds plain #defines that the resource compiler understands.
#ifndef TEKSTOR_RESOURCE_H
#define TEKSTOR_RESOURCE_H

#define IDR_ACCEL          100
#define IDI_MAIN           200
#define IDI_SECOND         201
#define IDR_POPUPMENU      300

#define IDS_APPNAME        1
#define IDS_UNTITLED       2
#define IDS_FILTER_TEXT    3
#define IDS_FILTER_ALL     4
#define IDS_SAVE_PROMPT    5
#define IDS_RECORDING      6
#define IDS_LOAD_CHANGED   7
#define IDS_SAVE_CHANGED   8
#define IDS_OTHER_FILE     9
#define IDS_NOT_FOUND      10
#define IDS_NO_ACCESS      11
#define IDS_IN_USE         12
#define IDS_FOLDER         13
#define IDS_DEVICE         14
#define IDS_SHORTCUT       15
#define IDS_OPEN_FAILED    16
#define IDS_JOURNAL_NO_ROOM 17
#define IDS_JOURNAL_FINISH 18
#define IDS_JOURNAL_STALE  19
#define IDS_RECORDING_ENDED 20
#define IDS_PLAYBACK_BLOCKED 21

#define IDM_NEW            40001
#define IDM_OPEN           40002
#define IDM_SAVE           40003
#define IDM_SAVEAS         40004
#define IDM_UNDO           40011
#define IDM_CUT            40012
#define IDM_COPY           40013
#define IDM_PASTE          40014
#define IDM_DELETE         40015
#define IDM_SELECTALL      40016
#define IDM_DATETIME       40017
#define IDM_DATETIME_LONG  40018
#define IDM_RECORD         40019
#define IDM_PLAY           40020
#define IDM_FIND           40030
#define IDM_REPLACE        40031
#define IDM_FINDNEXT       40032
#define IDM_FINDPREV       40033
#define IDM_WORDWRAP       40034

#endif
