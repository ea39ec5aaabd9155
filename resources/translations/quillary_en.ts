<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CustomFileManager</name>
    <message>
        <source>Meine Vorlage</source>
        <translation>My Template</translation>
    </message>
    <message>
        <source>Created </source>
        <translation>Created </translation>
    </message>
    <message>
        <source>Updated </source>
        <translation>Updated </translation>
    </message>
    <message>
        <source>No temporary directory could be created: %1</source>
        <translation>No temporary directory could be created: %1</translation>
    </message>
    <message>
        <source>The page could not be read: %1</source>
        <translation>The page could not be read: %1</translation>
    </message>
    <message>
        <source>The settings file could not be read: %1</source>
        <translation>The settings file could not be read: %1</translation>
    </message>
    <message>
        <source>The page could not be stored: %1</source>
        <translation>The page could not be stored: %1</translation>
    </message>
    <message>
        <source>The settings file holds no template list: %1</source>
        <translation>The settings file holds no template list: %1</translation>
    </message>
    <message>
        <source>The settings file could not be written: %1</source>
        <translation>The settings file could not be written: %1</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; no longer exists.</source>
        <translation>The template &quot;%1&quot; no longer exists.</translation>
    </message>
</context>
</TS>
