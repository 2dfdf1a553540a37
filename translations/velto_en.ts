<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>文件名</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600;&quot;&gt;文件名&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600;&quot;&gt;File name&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600;&quot;&gt;文件内容&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-weight:600;&quot;&gt;Text in the files&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;开始搜索&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Start the search&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>搜索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;帮助&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Help&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>目录名</source>
        <translation>Folders</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;目标目录&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Folders to search&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;选择搜索目录&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Choose a folder to search&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;精确匹配文件名&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Match file names exactly&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>精确匹配文件名</source>
        <translation>Exact name</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;是否搜索子目录&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Whether to search subfolders&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>搜索子目录</source>
        <translation>Subfolders</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;搜索文件内容时忽略大小写&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Ignore case when searching file contents&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>忽略大小写</source>
        <translation>Ignore case</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;尝试多种文字编码，深度搜索&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Try many text encodings: deep search&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>深度搜索</source>
        <translation>Deep search</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>正在执行搜索任务，是否转入后台运行？</source>
        <translation>A search is running. Go on searching in the background?</translation>
    </message>
    <message>
        <source>执行%1个复制操作，是否继续？</source>
        <translation>Copy %1 files. Go on?</translation>
    </message>
    <message>
        <source>选择查找路径</source>
        <translation>Choose the folder to search</translation>
    </message>
    <message>
        <source>搜索文件 : 填写文件名
</source>
        <translation>To find files: fill in a file name
</translation>
    </message>
    <message>
        <source>搜索内容 : 填写内容
</source>
        <translation>To find text: fill in the content
</translation>
    </message>
    <message>
        <source>搜索指定文件的内容 : 填写文件名，填写内容
</source>
        <translation>To find text in given files: fill in both
</translation>
    </message>
    <message>
        <source>深度搜索 : 只在搜索文件内容时有效，可以识别多种编码,搜索office文件时建议选择该选项
</source>
        <translation>Deep search: for content searches only; it reads many text encodings and is recommended for Office files
</translation>
    </message>
    <message>
        <source>
如有任何改进建议，请联系velto-search@example.org</source>
        <translation>
Suggestions are welcome at velto-search@example.org</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>浏览文件所在目录</source>
        <translation>Show in folder</translation>
    </message>
    <message>
        <source>复制选中文件</source>
        <translation>Copy selected files</translation>
    </message>
    <message>
        <source>剪切选中文件</source>
        <translation>Cut selected files</translation>
    </message>
    <message>
        <source>复制选中列表信息</source>
        <translation>Copy selected rows as text</translation>
    </message>
    <message>
        <source>停止显示</source>
        <translation>Stop display</translation>
    </message>
    <message>
        <source>执行%1个打开操作，是否继续？</source>
        <translation>Open %1 files. Go on?</translation>
    </message>
    <message>
        <source>文件名：</source>
        <translation>File name: </translation>
    </message>
    <message>
        <source>行号：</source>
        <translation>Line: </translation>
    </message>
    <message>
        <source>行内容：</source>
        <translation>Line text: </translation>
    </message>
    <message>
        <source>修改时间：</source>
        <translation>Modified: </translation>
    </message>
    <message>
        <source>预览(&amp;P)</source>
        <translation>&amp;Preview</translation>
    </message>
    <message>
        <source>找到目标数:</source>
        <translation>Found: </translation>
    </message>
    <message>
        <source>        尚有%1个文件未显示</source>
        <translation>        %1 more not shown</translation>
    </message>
    <message>
        <source>找到文件数:</source>
        <translation>Found: </translation>
    </message>
    <message>
        <source>无法读取:%1个目录,%2个文件</source>
        <translation>Could not read: %1 folders, %2 files</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>搜索文件请填写：文件名
</source>
        <translation>To find files, fill in: file name
</translation>
    </message>
    <message>
        <source>搜索文件内容请填写：内容
</source>
        <translation>To find text in files, fill in: content
</translation>
    </message>
    <message>
        <source>搜索指定文件名的内容请填写：文件名+内容</source>
        <translation>To find text in given files, fill in: file name and content</translation>
    </message>
    <message>
        <source>文件名:%1 格式不正确</source>
        <translation>File name: %1 is not a valid pattern</translation>
    </message>
    <message>
        <source>内容不能包含换行</source>
        <translation>The content cannot hold a line break</translation>
    </message>
    <message>
        <source>目录名:%1 不存在</source>
        <translation>Folder: %1 does not exist</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>停止搜索</source>
        <translation>Stop the search</translation>
    </message>
    <message>
        <source>开始搜索</source>
        <translation>Start the search</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>导出结果(&amp;E)...</source>
        <translation>&amp;Export results...</translation>
    </message>
    <message>
        <source>清除历史记录(&amp;C)</source>
        <translation>&amp;Clear history</translation>
    </message>
    <message>
        <source>退出(&amp;Q)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>查看(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>CSV 表格 (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>JSON 行 (*.jsonl)</source>
        <translation>JSON lines (*.jsonl)</translation>
    </message>
    <message>
        <source>导出结果</source>
        <translation>Export results</translation>
    </message>
    <message>
        <source>无法导出到%1：%2</source>
        <translation>Could not export to %1: %2</translation>
    </message>
    <message>
        <source>已导出%1行到%2</source>
        <translation>Exported %1 rows to %2</translation>
    </message>
    <message>
        <source>Velto深度文件搜索</source>
        <translation>Velto Deep File Search</translation>
    </message>
    <message>
        <source>

版本 %1</source>
        <translation>

Version %1</translation>
    </message>
    <message>
        <source>要找的文件名，可用通配符，多个以分号隔开</source>
        <translation>File names to find; wildcards allowed, several separated by semicolons</translation>
    </message>
    <message>
        <source>要在文件里找的文字</source>
        <translation>Text to find inside the files</translation>
    </message>
    <message>
        <source>从这些目录开始搜索，多个以分号隔开</source>
        <translation>Folders to search from, several separated by semicolons</translation>
    </message>
    <message>
        <source>开始搜索，搜索中则停止</source>
        <translation>Starts the search, or stops the running one</translation>
    </message>
    <message>
        <source>显示帮助</source>
        <translation>Shows help</translation>
    </message>
    <message>
        <source>选择搜索目录</source>
        <translation>Choose a folder to search</translation>
    </message>
    <message>
        <source>搜索的选项</source>
        <translation>How to search</translation>
    </message>
    <message>
        <source>文件名须与所填完全一致</source>
        <translation>File names must match exactly</translation>
    </message>
    <message>
        <source>也搜索子目录里的文件</source>
        <translation>Also search the files in subfolders</translation>
    </message>
    <message>
        <source>搜索文件内容时忽略大小写</source>
        <translation>Ignore case when searching file contents</translation>
    </message>
    <message>
        <source>尝试多种文字编码，深度搜索</source>
        <translation>Try many text encodings: deep search</translation>
    </message>
    <message>
        <source>搜索结果</source>
        <translation>Search results</translation>
    </message>
    <message>
        <source>找到的文件和行；右键打开、浏览或复制，双击打开</source>
        <translation>Files and lines found; right-click to open, show or copy, double-click to open</translation>
    </message>
    <message>
        <source>找到的数目</source>
        <translation>Number found</translation>
    </message>
    <message>
        <source>无法读取的数目</source>
        <translation>Number not readable</translation>
    </message>
    <message>
        <source>正在搜索</source>
        <translation>Searching</translation>
    </message>
    <message>
        <source>无法打开%1:没有安装打开文件的程序xdg-open(xdg-utils)</source>
        <translation>Cannot open %1: xdg-open (xdg-utils), which opens files, is not installed</translation>
    </message>
    <message>
        <source>无法打开%1:文件不存在</source>
        <translation>Cannot open %1: the file does not exist</translation>
    </message>
    <message>
        <source>无法打开%1:没有设置打开这类文件的程序</source>
        <translation>Cannot open %1: no application is set to open files of this type</translation>
    </message>
    <message>
        <source>无法打开%1:打开文件的程序出错</source>
        <translation>Cannot open %1: the application that opens it failed</translation>
    </message>
    <message>
        <source>搜索结束后目录名将改为:%1</source>
        <translation>When the search ends, the folders become: %1</translation>
    </message>
    <message>
        <source>正则表达式</source>
        <translation>Regex</translation>
    </message>
    <message>
        <source>全字匹配</source>
        <translation>Whole words</translation>
    </message>
    <message>
        <source>跳过二进制文件</source>
        <translation>Skip binary files</translation>
    </message>
    <message>
        <source>更多条件</source>
        <translation>More conditions</translation>
    </message>
    <message>
        <source>更多条件</source>
        <comment>the button that unfolds them</comment>
        <translation>More</translation>
    </message>
    <message>
        <source>内容按 PCRE2 正则表达式搜索</source>
        <translation>Search the content as a PCRE2 regular expression</translation>
    </message>
    <message>
        <source>只找前后不是字母、数字或下划线的内容；汉字也算字母</source>
        <translation>Only where no letter, digit or underscore stands before or after; Chinese characters count as letters</translation>
    </message>
    <message>
        <source>跳过开头含有空字节的文件</source>
        <translation>Skip files whose start holds a zero byte</translation>
    </message>
    <message>
        <source>文件还须含有的每个词，用“;”分隔</source>
        <translation>Words the file must also hold, separated by &quot;;&quot;</translation>
    </message>
    <message>
        <source>文件不能含有的词，用“;”分隔</source>
        <translation>Words the file must not hold, separated by &quot;;&quot;</translation>
    </message>
    <message>
        <source>同时包含</source>
        <translation>Also holds</translation>
    </message>
    <message>
        <source>不包含</source>
        <translation>Does not hold</translation>
    </message>
    <message>
        <source>正则表达式:%1 有误：%2（第%3个字符）</source>
        <translation>Regular expression: %1 is wrong: %2 (character %3)</translation>
    </message>
    <message>
        <source>包含隐藏文件</source>
        <translation>Include hidden files</translation>
    </message>
    <message>
        <source>遵循 .gitignore</source>
        <translation>Follow .gitignore</translation>
    </message>
    <message>
        <source>跟随链接</source>
        <translation>Follow links</translation>
    </message>
    <message>
        <source>也搜索名称以“.”开头的文件和文件夹</source>
        <translation>Also search files and folders whose names start with &quot;.&quot;</translation>
    </message>
    <message>
        <source>跳过 .gitignore 和 .ignore 文件列出的文件和文件夹</source>
        <translation>Skip the files and folders that .gitignore and .ignore files list</translation>
    </message>
    <message>
        <source>部分选中（默认）：进入链接到的文件夹，跳过链接到的文件；选中：跟随所有链接；不选：不跟随链接</source>
        <translation>Partly ticked (the default): enter linked folders, skip linked files; ticked: follow every link; unticked: follow none</translation>
    </message>
    <message>
        <source>跳过名称符合这些通配符的文件和文件夹，用“;”分隔</source>
        <translation>Skip files and folders whose names match these wildcards, separated by &quot;;&quot;</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>最多搜索到起始目录下的第几层；1：只搜索起始目录本身</source>
        <translation>How many levels below a start folder to search; 1: the start folder&apos;s own entries only</translation>
    </message>
    <message>
        <source>+N：大于 N；-N：小于 N；单位 k、M、G、T，用“;”分隔</source>
        <translation>+N: larger than N; -N: smaller than N; units k, M, G, T; several separated by &quot;;&quot;</translation>
    </message>
    <message>
        <source>日期（2026-01-01、2026-01-01 08:30）或距今的时长（30m、12h、7d、2w）</source>
        <translation>A date (2026-01-01, 2026-01-01 08:30) or a time back from now (30m, 12h, 7d, 2w)</translation>
    </message>
    <message>
        <source>排除</source>
        <translation>Exclude</translation>
    </message>
    <message>
        <source>最大深度</source>
        <translation>Maximum depth</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>File size</translation>
    </message>
    <message>
        <source>修改时间晚于</source>
        <translation>Modified after</translation>
    </message>
    <message>
        <source>修改时间早于</source>
        <translation>Modified before</translation>
    </message>
    <message>
        <source>排除:%1 格式不正确</source>
        <translation>Exclude: %1 is not a valid wildcard</translation>
    </message>
    <message>
        <source>文件大小:%1 格式不正确，应如 +10M 或 -1k</source>
        <translation>File size: %1 is not valid; write it as +10M or -1k</translation>
    </message>
    <message>
        <source>修改时间:%1 格式不正确，应如 2026-01-01 或 7d</source>
        <translation>Modified: %1 is not valid; write it as 2026-01-01 or 7d</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;搜索 PDF、Word、Excel、PowerPoint、OpenDocument、EPUB 和 RTF 文档中的文字；不选则搜索其原始字节&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Search the text of PDF, Word, Excel, PowerPoint, OpenDocument, EPUB and RTF documents; unticked, their raw bytes are searched&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>搜索文档内容</source>
        <translation>Document text</translation>
    </message>
    <message>
        <source>搜索 PDF、Office、OpenDocument、EPUB 和 RTF 文档里的文字，而不是它们的字节</source>
        <translation>Search the text inside PDF, Office, OpenDocument, EPUB and RTF documents, not their bytes</translation>
    </message>
</context>
<context>
    <name>PreviewPane</name>
    <message>
        <source>无法打开此文件</source>
        <translation>This file cannot be opened</translation>
    </message>
    <message>
        <source>这是一个目录</source>
        <translation>This is a folder</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>预览</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>所选结果所在行前后的文字</source>
        <translation>The text around the selected hit</translation>
    </message>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <source>选择一行结果以预览其内容</source>
        <translation>Select a result to preview it</translation>
    </message>
    <message>
        <source>文件已没有第%1行</source>
        <translation>The file has no line %1 any more</translation>
    </message>
    <message>
        <source>压缩包里没有这个文件</source>
        <translation>The archive holds no such file</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Velto深度文件搜索</source>
        <translation>Velto Deep File Search</translation>
    </message>
</context>
<context>
    <name>ResultModel</name>
    <message>
        <source>文件名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>行号</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Content</translation>
    </message>
    <message>
        <source>修改时间</source>
        <translation>Modified</translation>
    </message>
</context>
<context>
    <name>trayicon</name>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>Velto深度文件搜索</source>
        <translation>Velto Deep File Search</translation>
    </message>
    <message>
        <source>搜索完成</source>
        <translation>Search finished</translation>
    </message>
    <message>
        <source>找到目标数:</source>
        <translation>Found: </translation>
    </message>
</context>
</TS>
