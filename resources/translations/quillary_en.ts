<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About Quillary</source>
        <translation>About Quillary</translation>
    </message>
    <message>
        <source>Lays your company stationery onto any PDF document: print from any program and choose Quillary.</source>
        <translation>Lays your company stationery onto any PDF document: print from any program and choose Quillary.</translation>
    </message>
</context>
<context>
    <name>ApplicationMenu</name>
    <message>
        <source>Preferences</source>
        <translation>Preferences</translation>
    </message>
</context>
<context>
    <name>ConfigurationAssistantController</name>
    <message>
        <source>Configuration assistant</source>
        <translation>Configuration assistant</translation>
    </message>
    <message>
        <source>New template</source>
        <translation>New template</translation>
    </message>
    <message>
        <source>Drop your stationery PDF files on the pages below, or use the round buttons.</source>
        <translation>Drop your stationery PDF files on the pages below, or use the round buttons.</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Name of the template</source>
        <translation>Name of the template</translation>
    </message>
    <message>
        <source>Template name</source>
        <translation>Template name</translation>
    </message>
    <message>
        <source>PDF files in DIN A4 or US Letter, portrait or landscape. Only the first page of a file is used.</source>
        <translation>PDF files in DIN A4 or US Letter, portrait or landscape. Only the first page of a file is used.</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Save template</source>
        <translation>Save template</translation>
    </message>
    <message>
        <source>Show the video guide</source>
        <translation>Show the video guide</translation>
    </message>
</context>
<context>
    <name>CustomFileManager</name>
    <message>
        <source>Meine Vorlage</source>
        <translation>My template</translation>
    </message>
    <message>
        <source>sample-letterhead.pdf</source>
        <extracomment>The placeholder start page of the first template in this language: the file name beside the English &quot;sample-letterhead.pdf&quot; (German: &quot;sample-letterhead_de.pdf&quot;). Leave it as it is where there is none.</extracomment>
        <translation>sample-letterhead.pdf</translation>
    </message>
</context>
<context>
    <name>DesktopUi</name>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>FailureText</name>
    <message>
        <source>A file that is needed does not exist.</source>
        <translation>A file that is needed does not exist.</translation>
    </message>
    <message>
        <source>A folder was found where a file belongs.</source>
        <translation>A folder was found where a file belongs.</translation>
    </message>
    <message>
        <source>A file that is needed cannot be read.</source>
        <translation>A file that is needed cannot be read.</translation>
    </message>
    <message>
        <source>A file that is needed is damaged.</source>
        <translation>A file that is needed is damaged.</translation>
    </message>
    <message>
        <source>The document is protected by a password.</source>
        <translation>The document is protected by a password.</translation>
    </message>
    <message>
        <source>The document has no pages.</source>
        <translation>The document has no pages.</translation>
    </message>
    <message>
        <source>The disk is full.</source>
        <translation>The disk is full.</translation>
    </message>
    <message>
        <source>A file could not be written.</source>
        <translation>A file could not be written.</translation>
    </message>
    <message>
        <source>A password or another setting cannot be used.</source>
        <translation>A password or another setting cannot be used.</translation>
    </message>
    <message>
        <source>That file must not be replaced.</source>
        <translation>That file must not be replaced.</translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation>Stopped.</translation>
    </message>
    <message>
        <source>The template or one of its pages no longer exists.</source>
        <translation>The template or one of its pages no longer exists.</translation>
    </message>
    <message>
        <source>Another Quillary window is changing the templates. Try again in a moment.</source>
        <translation>Another Quillary window is changing the templates. Try again in a moment.</translation>
    </message>
    <message>
        <source>“%1” does not exist.</source>
        <translation>“%1” does not exist.</translation>
    </message>
    <message>
        <source>“%1” is a folder, not a file.</source>
        <translation>“%1” is a folder, not a file.</translation>
    </message>
    <message>
        <source>“%1” cannot be read.</source>
        <translation>“%1” cannot be read.</translation>
    </message>
    <message>
        <source>“%1” is damaged or not in a format Quillary can read.</source>
        <translation>“%1” is damaged or not in a format Quillary can read.</translation>
    </message>
    <message>
        <source>“%1” is protected by a password.</source>
        <translation>“%1” is protected by a password.</translation>
    </message>
    <message>
        <source>“%1” has no pages.</source>
        <translation>“%1” has no pages.</translation>
    </message>
    <message>
        <source>The disk is full: “%1” could not be written.</source>
        <translation>The disk is full: “%1” could not be written.</translation>
    </message>
    <message>
        <source>“%1” could not be written.</source>
        <translation>“%1” could not be written.</translation>
    </message>
    <message>
        <source>“%1” was not written: a password or another setting cannot be used.</source>
        <translation>“%1” was not written: a password or another setting cannot be used.</translation>
    </message>
    <message>
        <source>“%1” must not be replaced: it is the document itself or a file of the template store.</source>
        <translation>“%1” must not be replaced: it is the document itself or a file of the template store.</translation>
    </message>
    <message>
        <source>“%1” no longer exists.</source>
        <translation>“%1” no longer exists.</translation>
    </message>
    <message>
        <source>There was not enough memory to work on the document.</source>
        <translation>There was not enough memory to work on the document.</translation>
    </message>
    <message>
        <source>There was not enough memory to work on “%1”.</source>
        <translation>There was not enough memory to work on “%1”.</translation>
    </message>
</context>
<context>
    <name>FirstTemplateHint</name>
    <message>
        <source>Make a template...</source>
        <translation>Make a template...</translation>
    </message>
    <message>
        <source>Make a template</source>
        <translation>Make a template</translation>
    </message>
    <message>
        <source>This is Quillary&apos;s sample letterhead: you have no template of your own yet.</source>
        <translation>This is Quillary&apos;s sample letterhead: you have no template of your own yet.</translation>
    </message>
</context>
<context>
    <name>LoadingScreenViewController</name>
    <message>
        <source>Saving the template</source>
        <translation>Saving the template</translation>
    </message>
    <message>
        <source>Saving the template…</source>
        <translation>Saving the template…</translation>
    </message>
</context>
<context>
    <name>MainViewController</name>
    <message>
        <source>Configuration</source>
        <translation>Configuration</translation>
    </message>
</context>
<context>
    <name>PrintService</name>
    <message>
        <source>printer</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <source>open with</source>
        <translation>Open with Quillary</translation>
    </message>
</context>
<context>
    <name>ProcessEntry</name>
    <message>
        <source>&quot;%1&quot; is a folder, not a PDF document.</source>
        <translation>&quot;%1&quot; is a folder, not a PDF document.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; does not exist.</source>
        <translation>&quot;%1&quot; does not exist.</translation>
    </message>
    <message>
        <source>Quillary cannot open this document</source>
        <translation>Quillary cannot open this document</translation>
    </message>
</context>
<context>
    <name>SplashScreenViewController</name>
    <message>
        <source>Your stationery on every document</source>
        <translation>Your stationery on every document</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
</context>
<context>
    <name>quillary::AppController</name>
    <message>
        <source>%1 - Quillary</source>
        <translation>%1 - Quillary</translation>
    </message>
    <message>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <source>Menu bar</source>
        <translation>Menu bar</translation>
    </message>
    <message>
        <source>About Quillary</source>
        <translation>About Quillary</translation>
    </message>
    <message>
        <source>Close Quillary</source>
        <translation>Quit Quillary</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
</context>
<context>
    <name>quillary::AppDelegate</name>
    <message>
        <source>About Quillary</source>
        <translation>About Quillary</translation>
    </message>
    <message>
        <source>Close Quillary</source>
        <translation>Quit Quillary</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>Configuration</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>Delete printer</source>
        <translation>Delete printer</translation>
    </message>
    <message>
        <source>Reset settings</source>
        <translation>Reset settings</translation>
    </message>
    <message>
        <source>Search updates</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Reset settings?</source>
        <translation>Reset settings?</translation>
    </message>
    <message>
        <source>Every template and its pages will be deleted, and Quillary will quit.</source>
        <translation>Every template and its pages will be deleted, and Quillary will quit.</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Settings not reset</source>
        <translation>Settings not reset</translation>
    </message>
    <message>
        <source>The template store could not be removed: %1</source>
        <translation>The template store could not be removed: %1</translation>
    </message>
    <message>
        <source>Template not saved</source>
        <translation>Template not saved</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; could not be saved: %2</source>
        <translation>The template “%1” could not be saved: %2</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; no longer exists.</source>
        <translation>The template “%1” no longer exists.</translation>
    </message>
    <message>
        <source>Delete printer?</source>
        <translation>Delete printer?</translation>
    </message>
    <message>
        <source>The printer Quillary stays on this computer for other users. Quillary will no longer open your print jobs: what you print to it is refused until you save a template again.</source>
        <translation>The printer Quillary stays on this computer for other users. Quillary will no longer open your print jobs: what you print to it is refused until you save a template again.</translation>
    </message>
    <message>
        <source>Printer not deleted</source>
        <translation>Printer not deleted</translation>
    </message>
    <message>
        <source>Quillary could not be turned off for you: %1</source>
        <translation>Quillary could not be turned off for you: %1</translation>
    </message>
    <message>
        <source>Fonts cannot be embedded</source>
        <translation>Fonts cannot be embedded</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; was saved, but its stationery uses fonts that cannot be embedded. PDF/A e-invoices stamped with it will no longer be valid PDF/A:
%2</source>
        <translation>The template &quot;%1&quot; was saved, but its stationery uses fonts that cannot be embedded. PDF/A e-invoices stamped with it will no longer be valid PDF/A:
%2</translation>
    </message>
</context>
<context>
    <name>quillary::CircleView</name>
    <message>
        <source>start page</source>
        <translation>start page</translation>
    </message>
    <message>
        <source>continuation page</source>
        <translation>continuation page</translation>
    </message>
    <message>
        <source>terms page</source>
        <translation>terms page</translation>
    </message>
    <message>
        <source>Remove %1</source>
        <translation>Remove %1</translation>
    </message>
    <message>
        <source>Remove the %1</source>
        <translation>Remove the %1</translation>
    </message>
    <message>
        <source>Choose %1</source>
        <translation>Choose %1</translation>
    </message>
    <message>
        <source>Choose a PDF file for the %1</source>
        <translation>Choose a PDF file for the %1</translation>
    </message>
    <message>
        <source>Choose the %1</source>
        <translation>Choose the %1</translation>
    </message>
    <message>
        <source>Unknown Format</source>
        <translation>Unknown page format</translation>
    </message>
    <message>
        <source>Supported Formats</source>
        <translation>Quillary takes pages in DIN A4 and US Letter, portrait or landscape.</translation>
    </message>
    <message>
        <source>PDF with background</source>
        <translation>PDF with a white background</translation>
    </message>
    <message>
        <source>The content may not be displayed after printing because a white background has been detected</source>
        <translation>This page has a white background: it may hide the content of documents printed on it.</translation>
    </message>
</context>
<context>
    <name>quillary::ConfigurationAssistantController</name>
    <message>
        <source>Start page</source>
        <translation>Start page</translation>
    </message>
    <message>
        <source>Continuation page</source>
        <translation>Continuation page</translation>
    </message>
    <message>
        <source>Terms page</source>
        <translation>Terms page</translation>
    </message>
    <message>
        <source>Page 1 of every document</source>
        <translation>Page 1 of every document</translation>
    </message>
    <message>
        <source>Pages 2 and following</source>
        <translation>Pages 2 and following</translation>
    </message>
    <message>
        <source>Appended at the end</source>
        <translation>Appended at the end</translation>
    </message>
    <message>
        <source>New template</source>
        <translation>New template</translation>
    </message>
    <message>
        <source>Edit template</source>
        <translation>Edit template</translation>
    </message>
    <message>
        <source>Enter name</source>
        <translation>Enter a name</translation>
    </message>
    <message>
        <source>Pls enter a name</source>
        <translation>Please give the template a name.</translation>
    </message>
    <message>
        <source>Templatename exists</source>
        <translation>Template name in use</translation>
    </message>
    <message>
        <source>You have an template with the same name</source>
        <translation>There is already a template with this name.</translation>
    </message>
    <message>
        <source>Missing start page</source>
        <translation>Missing start page</translation>
    </message>
    <message>
        <source>You have to  include at least the home page</source>
        <translation>A template needs at least a start page.</translation>
    </message>
    <message>
        <source>The pages differ in paper format</source>
        <translation>The pages differ in paper format</translation>
    </message>
    <message>
        <source>The start page is %1, but the %2 is %3. Letters made with this template would mix paper formats.

Save the template anyway?</source>
        <translation>The start page is %1, but the %2 is %3. Letters made with this template would mix paper formats.

Save the template anyway?</translation>
    </message>
    <message>
        <source>Save anyway</source>
        <translation>Save anyway</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>DIN A4</source>
        <translation>DIN A4</translation>
    </message>
    <message>
        <source>US Letter</source>
        <translation>US Letter</translation>
    </message>
    <message>
        <source>%1 × %2 mm</source>
        <translation>%1 × %2 mm</translation>
    </message>
    <message>
        <source>%1 landscape</source>
        <translation>%1 landscape</translation>
    </message>
</context>
<context>
    <name>quillary::CustomCollectionView</name>
    <message>
        <source>Page %1: %2</source>
        <extracomment>Accessible name of a page thumbnail: page number, then its role</extracomment>
        <translation>Page %1: %2</translation>
    </message>
    <message>
        <source>Pages</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>The merged pages; the arrow keys choose a page</source>
        <translation>The merged pages; the arrow keys choose a page</translation>
    </message>
    <message>
        <source>Start page</source>
        <translation>Start page</translation>
    </message>
    <message>
        <source>Terms of Service</source>
        <translation>Terms page</translation>
    </message>
    <message>
        <source>Follow page</source>
        <translation>Continuation page</translation>
    </message>
    <message>
        <source>Follow pages</source>
        <translation>Continuation pages</translation>
    </message>
    <message>
        <source>Terms page</source>
        <translation>Terms page</translation>
    </message>
    <message>
        <source>Continuation page</source>
        <translation>Continuation page</translation>
    </message>
</context>
<context>
    <name>quillary::DocumentPasswordPanel</name>
    <message>
        <source>Document password</source>
        <translation>Document password</translation>
    </message>
    <message>
        <source>Password of the document</source>
        <translation>Password of the document</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Open the document</source>
        <translation>Open the document</translation>
    </message>
    <message>
        <source>Password problem</source>
        <translation>Password problem</translation>
    </message>
    <message>
        <source>“%1” is protected by a password. Enter it to open the document:</source>
        <translation>“%1” is protected by a password. Enter it to open the document:</translation>
    </message>
</context>
<context>
    <name>quillary::DummyActionGetter</name>
    <message>
        <source>Choose the %1</source>
        <extracomment>%1 is &quot;start page&quot;, &quot;continuation page&quot; or &quot;terms page&quot;</extracomment>
        <translation>Choose the %1</translation>
    </message>
    <message>
        <source>Click to choose a PDF file for the %1</source>
        <translation>Click to choose a PDF file for the %1</translation>
    </message>
</context>
<context>
    <name>quillary::EditViewcontroller</name>
    <message>
        <source>Page with stationery</source>
        <translation>Page with stationery</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Move the content</source>
        <translation>Move the content</translation>
    </message>
    <message>
        <source>mm</source>
        <translation>mm</translation>
    </message>
    <message>
        <source>&amp;x:</source>
        <translation>&amp;x:</translation>
    </message>
    <message>
        <source>x offset in millimetres</source>
        <translation>x offset in millimetres</translation>
    </message>
    <message>
        <source>&amp;y:</source>
        <translation>&amp;y:</translation>
    </message>
    <message>
        <source>y offset in millimetres</source>
        <translation>y offset in millimetres</translation>
    </message>
    <message>
        <source>Move content right</source>
        <translation>Move content right</translation>
    </message>
    <message>
        <source>Move content left</source>
        <translation>Move content left</translation>
    </message>
    <message>
        <source>Move content up</source>
        <translation>Move content up</translation>
    </message>
    <message>
        <source>Move content down</source>
        <translation>Move content down</translation>
    </message>
    <message>
        <source>Positive values move the content to the right and up.</source>
        <translation>Positive values move the content to the right and up.</translation>
    </message>
    <message>
        <source>Stationery behind content</source>
        <translation>Stationery behind content</translation>
    </message>
    <message>
        <source>Show help lines</source>
        <translation>Show help lines</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Accept</source>
        <translation>Accept</translation>
    </message>
    <message>
        <source>Left help line</source>
        <translation>Left help line</translation>
    </message>
    <message>
        <source>Right help line</source>
        <translation>Right help line</translation>
    </message>
    <message>
        <source>Top help line</source>
        <translation>Top help line</translation>
    </message>
    <message>
        <source>Bottom help line</source>
        <translation>Bottom help line</translation>
    </message>
    <message>
        <source>Background in the document</source>
        <translation>White background in the document</translation>
    </message>
    <message>
        <source>The stationery may not be displayed because a white background has been detected in the created document</source>
        <translation>This page of the document has a white background: it may hide the stationery.</translation>
    </message>
</context>
<context>
    <name>quillary::GuideController</name>
    <message>
        <source>Start page</source>
        <translation>Start page</translation>
    </message>
    <message>
        <source>Continuation</source>
        <translation>Continuation</translation>
    </message>
    <message>
        <source>Terms</source>
        <translation>Terms</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Close guide</source>
        <translation>Close guide</translation>
    </message>
    <message>
        <source>Arrow to the start page</source>
        <translation>Arrow to the start page</translation>
    </message>
    <message>
        <source>Guide: put your letterhead in</source>
        <translation>Guide: put your letterhead in</translation>
    </message>
    <message>
        <source>Put your letterhead in</source>
        <translation>Put your letterhead in</translation>
    </message>
    <message>
        <source>Drag your letterhead PDF from your files onto the start page of the assistant. Or click a page below to choose a file.</source>
        <translation>Drag your letterhead PDF from your files onto the start page of the assistant. Or click a page below to choose a file.</translation>
    </message>
    <message>
        <source>Guide: your letterhead is in</source>
        <translation>Guide: your letterhead is in</translation>
    </message>
    <message>
        <source>Your letterhead is in</source>
        <translation>Your letterhead is in</translation>
    </message>
    <message>
        <source>Add a continuation page for pages 2 and following and a terms page, if you have them. Then name the template and save it: it is offered whenever you print to Quillary.</source>
        <translation>Add a continuation page for pages 2 and following and a terms page, if you have them. Then name the template and save it: it is offered whenever you print to Quillary.</translation>
    </message>
    <message>
        <source>Save template</source>
        <translation>Save template</translation>
    </message>
    <message>
        <source>Save template now</source>
        <translation>Save template now</translation>
    </message>
</context>
<context>
    <name>quillary::LargePreview</name>
    <message>
        <source>Selected page</source>
        <translation>Selected page</translation>
    </message>
</context>
<context>
    <name>quillary::LoadingScreenViewController</name>
    <message>
        <source>Step %1 of %2</source>
        <translation>Step %1 of %2</translation>
    </message>
    <message>
        <source>Saving &quot;%1&quot;…</source>
        <translation>Saving “%1”…</translation>
    </message>
    <message>
        <source>Updating &quot;%1&quot;…</source>
        <translation>Updating “%1”…</translation>
    </message>
</context>
<context>
    <name>quillary::MainViewController</name>
    <message>
        <source>Save the new template?</source>
        <translation>Save the new template?</translation>
    </message>
    <message>
        <source>Save the changes to &quot;%1&quot;?</source>
        <translation>Save the changes to &quot;%1&quot;?</translation>
    </message>
    <message>
        <source>Your changes will be lost if you don&apos;t save them.</source>
        <translation>Your changes will be lost if you don&apos;t save them.</translation>
    </message>
    <message>
        <source>Your changes to &quot;%1&quot; will be lost if you don&apos;t save them.</source>
        <translation>Your changes to &quot;%1&quot; will be lost if you don&apos;t save them.</translation>
    </message>
</context>
<context>
    <name>quillary::ManualWindow</name>
    <message>
        <source>Quillary Manual</source>
        <translation>Quillary Manual</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>&lt;h2&gt;Your stationery on every document&lt;/h2&gt;&lt;p&gt;A &lt;b&gt;template&lt;/b&gt; holds up to three one-page PDF files: the &lt;b&gt;start page&lt;/b&gt; is laid on page 1 of a document, the &lt;b&gt;continuation page&lt;/b&gt; on every further page, and the &lt;b&gt;terms page&lt;/b&gt; is appended after the last page.&lt;/p&gt;</source>
        <translation>&lt;h2&gt;Your stationery on every document&lt;/h2&gt;&lt;p&gt;A &lt;b&gt;template&lt;/b&gt; holds up to three one-page PDF files: the &lt;b&gt;start page&lt;/b&gt; is laid on page 1 of a document, the &lt;b&gt;continuation page&lt;/b&gt; on every further page, and the &lt;b&gt;terms page&lt;/b&gt; is appended after the last page.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Making a template&lt;/h3&gt;&lt;p&gt;Click &lt;b&gt;+&lt;/b&gt; below the list, drop your letterhead PDF on the start page (or click the round button under it to choose a file), add the other pages if you like, give the template a name and click &lt;b&gt;Save template&lt;/b&gt;. Pages must be DIN A4 or US Letter, portrait or landscape; only the first page of a file is used. Quillary warns you when the pages of one template differ in paper format.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Making a template&lt;/h3&gt;&lt;p&gt;Click &lt;b&gt;+&lt;/b&gt; below the list, drop your letterhead PDF on the start page (or click the round button under it to choose a file), add the other pages if you like, give the template a name and click &lt;b&gt;Save template&lt;/b&gt;. Pages must be DIN A4 or US Letter, portrait or landscape; only the first page of a file is used. Quillary warns you when the pages of one template differ in paper format.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Enabled and behind the content&lt;/h3&gt;&lt;p&gt;Only enabled templates are offered when you print. With &lt;b&gt;Behind content&lt;/b&gt; on, the stationery lies behind the document&apos;s text; off, it is drawn over it.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Enabled and behind the content&lt;/h3&gt;&lt;p&gt;Only enabled templates are offered when you print. With &lt;b&gt;Behind content&lt;/b&gt; on, the stationery lies behind the document&apos;s text; off, it is drawn over it.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Printing&lt;/h3&gt;&lt;p&gt;Print from any program and choose Quillary. A preview shows your document on your stationery; save it as a PDF (&lt;b&gt;Ctrl+S&lt;/b&gt;) or print it (&lt;b&gt;Ctrl+P&lt;/b&gt;).&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Printing&lt;/h3&gt;&lt;p&gt;Print from any program and choose Quillary. A preview shows your document on your stationery; save it as a PDF (&lt;b&gt;Ctrl+S&lt;/b&gt;) or print it (&lt;b&gt;Ctrl+P&lt;/b&gt;).&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Shifting the content (offsets)&lt;/h3&gt;&lt;p&gt;When the document&apos;s text runs into the letterhead, select a page in the preview and click &lt;b&gt;Offset...&lt;/b&gt;. Enter how far the document&apos;s content moves, in millimetres: &lt;b&gt;x&lt;/b&gt; to the right (negative: to the left), &lt;b&gt;y&lt;/b&gt; up (negative: down). The stationery stays where it is. &lt;b&gt;Show help lines&lt;/b&gt; gives you lines to align the text with; &lt;b&gt;Enter&lt;/b&gt; accepts, &lt;b&gt;Escape&lt;/b&gt; cancels. The offset of the start page applies to page 1, that of a continuation page to all further pages.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Shifting the content (offsets)&lt;/h3&gt;&lt;p&gt;When the document&apos;s text runs into the letterhead, select a page in the preview and click &lt;b&gt;Offset...&lt;/b&gt;. Enter how far the document&apos;s content moves, in millimetres: &lt;b&gt;x&lt;/b&gt; to the right (negative: to the left), &lt;b&gt;y&lt;/b&gt; up (negative: down). The stationery stays where it is. &lt;b&gt;Show help lines&lt;/b&gt; gives you lines to align the text with; &lt;b&gt;Enter&lt;/b&gt; accepts, &lt;b&gt;Escape&lt;/b&gt; cancels. The offset of the start page applies to page 1, that of a continuation page to all further pages.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Passwords&lt;/h3&gt;&lt;p&gt;In the save panel, &lt;b&gt;Protect with a password&lt;/b&gt; encrypts the PDF (AES-256): it opens only with the &lt;b&gt;password&lt;/b&gt;. &lt;b&gt;Do not allow printing and copying&lt;/b&gt; adds an &lt;b&gt;owner password&lt;/b&gt;, needed to lift these restrictions; left empty, Quillary picks a random one, and the restrictions can then never be lifted. Quillary stores no password: keep it safe.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Passwords&lt;/h3&gt;&lt;p&gt;In the save panel, &lt;b&gt;Protect with a password&lt;/b&gt; encrypts the PDF (AES-256): it opens only with the &lt;b&gt;password&lt;/b&gt;. &lt;b&gt;Do not allow printing and copying&lt;/b&gt; adds an &lt;b&gt;owner password&lt;/b&gt;, needed to lift these restrictions; left empty, Quillary picks a random one, and the restrictions can then never be lifted. Quillary stores no password: keep it safe.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;The command-line tool&lt;/h3&gt;&lt;p&gt;&lt;code&gt;quillary-stamp&lt;/code&gt; lays a template on documents without a window, for scripts and batches:&lt;/p&gt;&lt;pre&gt;quillary-stamp --template &quot;My template&quot; letter.pdf letter-on-paper.pdf
quillary-stamp -t &quot;My template&quot; --output-dir stamped *.pdf&lt;/pre&gt;&lt;p&gt;&lt;code&gt;--first-offset X,Y&lt;/code&gt; and &lt;code&gt;--offset X,Y&lt;/code&gt; shift the content as the offset editor does; &lt;code&gt;--password-file FILE&lt;/code&gt; encrypts the output. &lt;code&gt;quillary-stamp --help&lt;/code&gt; lists every option.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;The command-line tool&lt;/h3&gt;&lt;p&gt;&lt;code&gt;quillary-stamp&lt;/code&gt; lays a template on documents without a window, for scripts and batches:&lt;/p&gt;&lt;pre&gt;quillary-stamp --template &quot;My template&quot; letter.pdf letter-on-paper.pdf
quillary-stamp -t &quot;My template&quot; --output-dir stamped *.pdf&lt;/pre&gt;&lt;p&gt;&lt;code&gt;--first-offset X,Y&lt;/code&gt; and &lt;code&gt;--offset X,Y&lt;/code&gt; shift the content as the offset editor does; &lt;code&gt;--password-file FILE&lt;/code&gt; encrypts the output. &lt;code&gt;quillary-stamp --help&lt;/code&gt; lists every option.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;When no template fits&lt;/h3&gt;&lt;p&gt;The preview chooses the first enabled template whose start page has the document&apos;s paper format. When none has, it says &lt;i&gt;No template fits the paper format of this document&lt;/i&gt;: choose a template in the list above the pages (the stationery is then laid on as it is), or make a template in that format in the template window and enable it. When no template is enabled at all, enable one with its switch in the template window.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;When no template fits&lt;/h3&gt;&lt;p&gt;The preview chooses the first enabled template whose start page has the document&apos;s paper format. When none has, it says &lt;i&gt;No template fits the paper format of this document&lt;/i&gt;: choose a template in the list above the pages (the stationery is then laid on as it is), or make a template in that format in the template window and enable it. When no template is enabled at all, enable one with its switch in the template window.&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>quillary::OverlayScrollBar</name>
    <message>
        <source>Vertical scroll bar</source>
        <translation>Vertical scroll bar</translation>
    </message>
    <message>
        <source>Horizontal scroll bar</source>
        <translation>Horizontal scroll bar</translation>
    </message>
</context>
<context>
    <name>quillary::PDFPOPupPreview</name>
    <message>
        <source>Page preview</source>
        <translation>Page preview</translation>
    </message>
</context>
<context>
    <name>quillary::PreviewController</name>
    <message>
        <source>Preview</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>Template</source>
        <translation>Template</translation>
    </message>
    <message>
        <source>&amp;Template:</source>
        <translation>&amp;Template:</translation>
    </message>
    <message>
        <source>Stationery pages</source>
        <translation>Stationery pages</translation>
    </message>
    <message>
        <source>Start page</source>
        <translation>Start page</translation>
    </message>
    <message>
        <source>Follow pages</source>
        <translation>Continuation pages</translation>
    </message>
    <message>
        <source>Terms of Service</source>
        <translation>Terms page</translation>
    </message>
    <message>
        <source>&amp;Offset...</source>
        <translation>&amp;Offset…</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Move the content of the selected page against the stationery</source>
        <translation>Move the content of the selected page against the stationery</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>&amp;Print…</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>&amp;Save...</source>
        <translation>&amp;Save…</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Undefined</source>
        <translation>Undefined</translation>
    </message>
    <message>
        <source>There is no enabled template. Enable one in Quillary&apos;s template window.</source>
        <translation>There is no enabled template. Enable one in Quillary&apos;s template window.</translation>
    </message>
    <message>
        <source>No template fits the paper format of this document. Choose one above.</source>
        <translation>No template fits the paper format of this document. Choose one above.</translation>
    </message>
    <message>
        <source>The preview could not be made: %1</source>
        <translation>The preview could not be made: %1</translation>
    </message>
    <message>
        <source>The merged document could not be read.</source>
        <translation>The merged document could not be read.</translation>
    </message>
    <message>
        <source>Saving...</source>
        <translation>Saving…</translation>
    </message>
    <message>
        <source>Printing...</source>
        <translation>Printing…</translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>Terms of Service cant moved</source>
        <translation>The terms page cannot be moved</translation>
    </message>
    <message>
        <source>Can&apos;t edit Terms of Service</source>
        <translation>The terms page is appended as it is; only the pages of the document can be moved.</translation>
    </message>
    <message>
        <source>The page cannot be edited</source>
        <translation>The page cannot be edited</translation>
    </message>
    <message>
        <source>Offset of the first page</source>
        <translation>Offset of the first page</translation>
    </message>
    <message>
        <source>Offset of the following pages</source>
        <translation>Offset of the following pages</translation>
    </message>
    <message>
        <source>The printer did not take the document.</source>
        <translation>The printer did not take the document.</translation>
    </message>
    <message>
        <source>The printer “%1” did not take the document.</source>
        <translation>The printer “%1” did not take the document.</translation>
    </message>
    <message>
        <source>The document was not saved</source>
        <translation>The document was not saved</translation>
    </message>
    <message>
        <source>%1 could not be saved. %2</source>
        <translation>“%1” could not be saved. %2</translation>
    </message>
    <message>
        <source>The document was saved</source>
        <translation>The document was saved</translation>
    </message>
    <message>
        <source>No mail program could be started. The document is saved as %1.</source>
        <translation>No mail program could be started. The document is saved as %1.</translation>
    </message>
    <message>
        <source>The document was not printed</source>
        <translation>The document was not printed</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>That password does not open the document. Try again.</source>
        <translation>That password does not open the document. Try again.</translation>
    </message>
    <message>
        <source>No program other than Quillary is set up to open PDF files. The document is saved as %1.</source>
        <translation>No program other than Quillary is set up to open PDF files. The document is saved as %1.</translation>
    </message>
    <message>
        <source>another size</source>
        <translation>another size</translation>
    </message>
    <message>
        <source>neither DIN A4 nor US Letter</source>
        <translation>neither DIN A4 nor US Letter</translation>
    </message>
    <message>
        <source>“%1” is made for %2, this document is %3: the stationery will be cut or shifted.</source>
        <translation>“%1” is made for %2, this document is %3: the stationery will be cut or shifted.</translation>
    </message>
</context>
<context>
    <name>quillary::ProgressCircle</name>
    <message>
        <source>Progress</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Working</source>
        <translation>Working</translation>
    </message>
</context>
<context>
    <name>quillary::SavePanelView</name>
    <message>
        <source>PDF options</source>
        <translation>PDF options</translation>
    </message>
    <message>
        <source>Protect with a password</source>
        <translation>Protect with a password</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Do not allow printing and copying</source>
        <translation>Do not allow printing and copying</translation>
    </message>
    <message>
        <source>Owner password</source>
        <translation>Owner password</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>Author</source>
        <translation>Author</translation>
    </message>
    <message>
        <source>Open PDF after saving</source>
        <translation>Open PDF after saving</translation>
    </message>
    <message>
        <source>Attach to a new mail</source>
        <translation>Attach to a new mail</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>Owner password:</source>
        <translation>Owner password:</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Title:</translation>
    </message>
    <message>
        <source>Author:</source>
        <translation>Author:</translation>
    </message>
    <message>
        <source>This invoice will no longer be a valid PDF/A e-invoice: %1</source>
        <translation>This invoice will no longer be a valid PDF/A e-invoice: %1</translation>
    </message>
    <message>
        <source>Enter a password, or turn the protection off.</source>
        <translation>Enter a password, or turn the protection off.</translation>
    </message>
    <message>
        <source>A password cannot hold control characters or other invisible codes.</source>
        <translation>A password cannot hold control characters or other invisible codes.</translation>
    </message>
    <message>
        <source>A password cannot mix right-to-left and left-to-right text.</source>
        <translation>A password cannot mix right-to-left and left-to-right text.</translation>
    </message>
    <message>
        <source>This password holds only characters that are left out.</source>
        <translation>This password holds only characters that are left out.</translation>
    </message>
    <message>
        <source>This password is too long: at most %1 bytes are kept.</source>
        <translation>This password is too long: at most %1 bytes are kept.</translation>
    </message>
    <message>
        <source>The owner password must differ from the password.</source>
        <translation>The owner password must differ from the password.</translation>
    </message>
    <message>
        <source>This password cannot be used.</source>
        <translation>This password cannot be used.</translation>
    </message>
</context>
<context>
    <name>quillary::SplashScreenViewController</name>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
</context>
<context>
    <name>quillary::Stepper</name>
    <message>
        <source>Up</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Down</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateImageView</name>
    <message>
        <source>Page preview</source>
        <translation>Page preview</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateImageViewContainer</name>
    <message>
        <source>%1 drop area</source>
        <translation>%1 drop area</translation>
    </message>
    <message>
        <source>Drop a PDF file here</source>
        <translation>Drop a PDF file here</translation>
    </message>
    <message>
        <source>PDF with background</source>
        <translation>PDF with a white background</translation>
    </message>
    <message>
        <source>The content may not be displayed after printing because a white background has been detected</source>
        <translation>This page has a white background: it may hide the content of documents printed on it.</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateViewController</name>
    <message>
        <source>DIN A4</source>
        <translation>DIN A4</translation>
    </message>
    <message>
        <source>US Letter</source>
        <translation>US Letter</translation>
    </message>
    <message>
        <source>Undefined</source>
        <translation>Undefined</translation>
    </message>
    <message>
        <source>No page</source>
        <translation>No page</translation>
    </message>
    <message>
        <source>Enabled templates are offered when you print</source>
        <translation>Enabled templates are offered when you print</translation>
    </message>
    <message>
        <source>On: the stationery lies behind the document&apos;s content.
Off: it is drawn over the content.</source>
        <translation>On: the stationery lies behind the document&apos;s content.
Off: it is drawn over the content.</translation>
    </message>
    <message>
        <source>Enabled</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>Behind content</source>
        <translation>Behind content</translation>
    </message>
    <message>
        <source>Enable %1</source>
        <translation>Enable %1</translation>
    </message>
    <message>
        <source>Stationery behind content, %1</source>
        <translation>Stationery behind content, %1</translation>
    </message>
    <message>
        <source>Start page of %1</source>
        <translation>Start page of %1</translation>
    </message>
    <message>
        <source>Templates</source>
        <translation>Templates</translation>
    </message>
    <message>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
    <message>
        <source>Template list</source>
        <translation>Template list</translation>
    </message>
    <message>
        <source>No templates yet.
Click + to add one.</source>
        <translation>No templates yet.
Click + to add one.</translation>
    </message>
    <message>
        <source>Add template</source>
        <translation>Add template</translation>
    </message>
    <message>
        <source>Add a template</source>
        <translation>Add a template</translation>
    </message>
    <message>
        <source>Delete template</source>
        <translation>Delete template</translation>
    </message>
    <message>
        <source>Delete the selected template</source>
        <translation>Delete the selected template</translation>
    </message>
    <message>
        <source>Delete template?</source>
        <translation>Delete template?</translation>
    </message>
    <message>
        <source>Do you want to delete the selected template?</source>
        <translation>Do you want to delete the selected template?</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Template not deleted</source>
        <translation>Template not deleted</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; could not be deleted: %2</source>
        <translation>The template “%1” could not be deleted: %2</translation>
    </message>
    <message>
        <source>Template not changed</source>
        <translation>Template not changed</translation>
    </message>
    <message>
        <source>The template &quot;%1&quot; could not be changed: %2</source>
        <translation>The template “%1” could not be changed: %2</translation>
    </message>
    <message>
        <source>Created on %1</source>
        <translation>Created on %1</translation>
    </message>
    <message>
        <source>Updated on %1</source>
        <translation>Updated on %1</translation>
    </message>
</context>
<context>
    <name>quillary::TemplateWindow</name>
    <message>
        <source>Quillary</source>
        <translation>Quillary</translation>
    </message>
</context>
<context>
    <name>quillary::TourTipView</name>
    <message>
        <source>Your templates</source>
        <translation>Your templates</translation>
    </message>
    <message>
        <source>A new template</source>
        <translation>A new template</translation>
    </message>
    <message>
        <source>Your stationery</source>
        <translation>Your stationery</translation>
    </message>
    <message>
        <source>Enabled, and behind the content</source>
        <translation>Enabled, and behind the content</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Every template you keep is listed here. Click one to edit it in the assistant on the right.</source>
        <translation>Every template you keep is listed here. Click one to edit it in the assistant on the right.</translation>
    </message>
    <message>
        <source>Click + to start a new template. − deletes the template that is selected.</source>
        <translation>Click + to start a new template. − deletes the template that is selected.</translation>
    </message>
    <message>
        <source>Drop your letterhead PDF on the start page, or click + below a page. The other two pages are optional; the guide on the left shows how.</source>
        <translation>Drop your letterhead PDF on the start page, or click + below a page. The other two pages are optional; the guide on the left shows how.</translation>
    </message>
    <message>
        <source>Only enabled templates are offered when you print. &quot;Behind content&quot; lays the stationery behind the text of your document; off, it is drawn over it.</source>
        <translation>Only enabled templates are offered when you print. &quot;Behind content&quot; lays the stationery behind the text of your document; off, it is drawn over it.</translation>
    </message>
    <message>
        <source>Name the template and save it. The first save also makes Quillary a printer: print from any program, choose Quillary, and your stationery is laid onto the document.</source>
        <translation>Name the template and save it. The first save also makes Quillary a printer: print from any program, choose Quillary, and your stationery is laid onto the document.</translation>
    </message>
    <message>
        <source>Tour tip %1 of %2</source>
        <translation>Tour tip %1 of %2</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Close tour tip</source>
        <translation>Close tour tip</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Next tour tip</source>
        <translation>Next tour tip</translation>
    </message>
</context>
<context>
    <name>quillary::Updater</name>
    <message>
        <source>Search updates</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <source>Updates for Quillary come with your system&apos;s packages.</source>
        <translation>Updates for Quillary come with your system&apos;s packages.</translation>
    </message>
    <message>
        <source>The update information could not be read: %1</source>
        <translation>The update information could not be read: %1</translation>
    </message>
    <message>
        <source>A new version is available</source>
        <translation>A new version is available</translation>
    </message>
    <message>
        <source>Quillary %1 is available.</source>
        <translation>Quillary %1 is available.</translation>
    </message>
    <message>
        <source>Quillary %1 is available at %2.</source>
        <translation>Quillary %1 is available at %2.</translation>
    </message>
    <message>
        <source>Quillary is up to date</source>
        <translation>Quillary is up to date</translation>
    </message>
    <message>
        <source>Version %1 is the newest version.</source>
        <translation>Version %1 is the newest version.</translation>
    </message>
</context>
<context>
    <name>quillary::VideoGuide</name>
    <message>
        <source>Video guide</source>
        <translation>Video guide</translation>
    </message>
    <message>
        <source>The video guide is not installed. Drop your letterhead PDF on the start page, or click a page below to choose a file.</source>
        <translation>The video guide is not installed. Drop your letterhead PDF on the start page, or click a page below to choose a file.</translation>
    </message>
    <message>
        <source>Videos cannot be played on this system. Drop your letterhead PDF on the start page, or click a page below to choose a file.</source>
        <translation>Videos cannot be played on this system. Drop your letterhead PDF on the start page, or click a page below to choose a file.</translation>
    </message>
    <message>
        <source>How a letterhead is put into the page slots</source>
        <translation>How a letterhead is put into the page slots</translation>
    </message>
    <message>
        <source>The video guide cannot be played. Drop your letterhead PDF on the start page, or click a page below to choose a file.</source>
        <translation>The video guide cannot be played. Drop your letterhead PDF on the start page, or click a page below to choose a file.</translation>
    </message>
    <message>
        <source>quillary.mp4</source>
        <extracomment>File name of the guide video in this language (German: &quot;quillary_de.mp4&quot;)</extracomment>
        <translation>quillary.mp4</translation>
    </message>
</context>
<context>
    <name>quillary::printer::PrintAgent</name>
    <message>
        <source>Quillary could not show the printed document “%1”: the preview stopped twice while opening it. The document was kept in %2.</source>
        <translation>Quillary could not show the printed document “%1”: the preview stopped twice while opening it. The document was kept in %2.</translation>
    </message>
    <message>
        <source>A printed document could not be shown</source>
        <translation>A printed document could not be shown</translation>
    </message>
</context>
</TS>
