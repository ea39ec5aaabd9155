<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CustomFileManager</name>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="488"/>
        <source>Meine Vorlage</source>
        <translation>My Template</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="509"/>
        <source>Created </source>
        <translation>Created </translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="510"/>
        <source>Updated </source>
        <translation>Updated </translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="535"/>
        <source>No temporary directory could be created: %1</source>
        <translation>No temporary directory could be created: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="547"/>
        <source>The page could not be read: %1</source>
        <translation>The page could not be read: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="562"/>
        <source>The settings file could not be read: %1</source>
        <translation>The settings file could not be read: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="599"/>
        <location filename="../../src/store/CustomFileManager.cpp" line="659"/>
        <location filename="../../src/store/CustomFileManager.cpp" line="668"/>
        <source>The page could not be stored: %1</source>
        <translation>The page could not be stored: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="610"/>
        <source>The settings file holds no template list: %1</source>
        <translation>The settings file holds no template list: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="614"/>
        <location filename="../../src/store/CustomFileManager.cpp" line="691"/>
        <source>The settings file could not be written: %1</source>
        <translation>The settings file could not be written: %1</translation>
    </message>
    <message>
        <location filename="../../src/store/CustomFileManager.cpp" line="625"/>
        <source>The template &quot;%1&quot; no longer exists.</source>
        <translation>The template &quot;%1&quot; no longer exists.</translation>
    </message>
</context>
<context>
    <name>quillary::PlaceholderWindow</name>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="17"/>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="53"/>
        <source>DIN A4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="18"/>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="54"/>
        <source>US Letter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="19"/>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="55"/>
        <source>undefined</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="22"/>
        <source> (landscape)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="22"/>
        <source> (portrait)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="23"/>
        <source>%1, %2 × %3 pt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="39"/>
        <source>Quillary</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="40"/>
        <source>Management mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="41"/>
        <source>Your stationery templates will be managed here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="51"/>
        <source>%1 — %2 — %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="57"/>
        <source>enabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="58"/>
        <source>disabled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="62"/>
        <source>Templates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="69"/>
        <source>Quillary – Preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="70"/>
        <source>Print-service mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="71"/>
        <source>Document: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../src/app/PlaceholderWindow.cpp" line="75"/>
        <source>Paper format: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
