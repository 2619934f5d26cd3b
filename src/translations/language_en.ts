<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Accessibility</name>
    <message>
        <source>读取打印机设置</source>
        <translation>Read printer settings</translation>
    </message>
    <message>
        <source>写入打印机设置</source>
        <translation>Write printer settings</translation>
    </message>
    <message>
        <source>读取打印机固件版本日期</source>
        <translation>Read the printer firmware version date</translation>
    </message>
    <message>
        <source>读取网口设置</source>
        <translation>Read Ethernet settings</translation>
    </message>
    <message>
        <source>写入网口设置</source>
        <translation>Write Ethernet settings</translation>
    </message>
    <message>
        <source>读取wifi设置</source>
        <translation>Read Wi-Fi settings</translation>
    </message>
    <message>
        <source>写入wifi设置</source>
        <translation>Write Wi-Fi settings</translation>
    </message>
    <message>
        <source>读取wifi_ip设置</source>
        <translation>Read Wi-Fi IP settings</translation>
    </message>
    <message>
        <source>写入wifi_ip设置</source>
        <translation>Write Wi-Fi IP settings</translation>
    </message>
    <message>
        <source>检查打印机是否在此地址和TCP端口应答</source>
        <translation>Checks whether the printer answers at this address and TCP port</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>打印机设置</source>
        <translation>Printer Settings</translation>
    </message>
    <message>
        <source>速度:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>较慢</source>
        <translation>Slower</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>较快</source>
        <translation>Faster</translation>
    </message>
    <message>
        <source>浓度:</source>
        <translation>Density:</translation>
    </message>
    <message>
        <source>较淡</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>较浓</source>
        <translation>Dark</translation>
    </message>
    <message>
        <source>声光报警:</source>
        <translation>Alarm:</translation>
    </message>
    <message>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>仅声报警</source>
        <translation>Sound Only</translation>
    </message>
    <message>
        <source>仅光报警</source>
        <translation>Light Only</translation>
    </message>
    <message>
        <source>声光报警</source>
        <translation>Alarm On</translation>
    </message>
    <message>
        <source>获取</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>logo 打印</source>
        <translation>Logo Printing</translation>
    </message>
    <message>
        <source>单倍宽高</source>
        <translation>Single Width and Height</translation>
    </message>
    <message>
        <source>双倍宽度</source>
        <translation>Double Width</translation>
    </message>
    <message>
        <source>双倍高度</source>
        <translation>Double Height</translation>
    </message>
    <message>
        <source>双倍宽高</source>
        <translation>Double Width and Height</translation>
    </message>
    <message>
        <source>USB连接端口</source>
        <translation>USB Connection Port</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>打印机固件版本日期</source>
        <translation>Printer Firmware Version Date</translation>
    </message>
    <message>
        <source>打印logo</source>
        <translation>Print Logo</translation>
    </message>
    <message>
        <source>第</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>张</source>
        <translation>Page</translation>
    </message>
    <message>
        <source>打开图片集</source>
        <translation>Open Image Collection</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>网口设置</source>
        <translation>Ethernet Settings</translation>
    </message>
    <message>
        <source>wifi设置</source>
        <translation>WiFi Settings</translation>
    </message>
    <message>
        <source>打印自检页</source>
        <translation>Print the self-test page</translation>
    </message>
    <message>
        <source>打印机状态</source>
        <translation>Printer Status</translation>
    </message>
    <message>
        <source>读取所选打印机的状态：纸、上盖、错误</source>
        <translation>Reads the selected printer&apos;s status: paper, cover, errors</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>票据机设置工具</source>
        <translation>Receipt Printer Setup Tool</translation>
    </message>
    <message>
        <source>设置工具</source>
        <translation>Setup Tool</translation>
    </message>
    <message>
        <source>请先连接打印机</source>
        <translation>Please connect the printer first</translation>
    </message>
    <message>
        <source>请确保打印机已通过usb进行连接</source>
        <translation>Please ensure the printer is connected via USB</translation>
    </message>
    <message>
        <source>获取成功</source>
        <translation>Successfully retrieved</translation>
    </message>
    <message>
        <source>设置成功</source>
        <translation>Successfully set</translation>
    </message>
    <message>
        <source>选择图像</source>
        <translation>Select image</translation>
    </message>
    <message>
        <source>文件数据过大请重新选择图片</source>
        <translation>The file data is too large, please choose another image</translation>
    </message>
    <message>
        <source>下载成功</source>
        <translation>Download successful</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>打印机连接断开</source>
        <translation>Printer connection lost</translation>
    </message>
    <message>
        <source>内存分配失败</source>
        <translation type="obsolete">Memory allocation failed</translation>
    </message>
    <message>
        <source>图片数量不能超过255张</source>
        <translation>No more than 255 images can be downloaded</translation>
    </message>
    <message>
        <source>请为速度、浓度和声光报警各选一项</source>
        <translation>Please choose a speed, a density and an alarm setting</translation>
    </message>
    <message>
        <source>请先选择图片</source>
        <translation>Please choose images first</translation>
    </message>
    <message>
        <source>请输入1到255之间的logo编号</source>
        <translation>Please enter a logo number from 1 to 255</translation>
    </message>
    <message>
        <source>地址无效，每段应为0到255</source>
        <translation>Invalid address: each number must be 0 to 255</translation>
    </message>
    <message>
        <source>地址的各段不能以0开头：010有的程序读作10，有的读作8</source>
        <translation>An address part must not start with 0: some programs read 010 as 10, others as 8</translation>
    </message>
    <message>
        <source>端口无效，应为1到65535</source>
        <translation>Invalid port: it must be a number from 1 to 65535</translation>
    </message>
    <message>
        <source>请填写AP_IP地址</source>
        <translation>Please enter the AP IP address</translation>
    </message>
    <message>
        <source>wifi名称最长32字节</source>
        <translation>The Wi-Fi name can be at most 32 bytes</translation>
    </message>
    <message>
        <source>wifi密码应为8到63位</source>
        <translation>The Wi-Fi password must be 8 to 63 characters</translation>
    </message>
    <message>
        <source>wifi名称和密码不能包含控制字符</source>
        <translation>The Wi-Fi name and password must not contain control characters</translation>
    </message>
    <message>
        <source>请填写wifi名称</source>
        <translation>Please enter the Wi-Fi name</translation>
    </message>
    <message>
        <source>静态IP模式下请填写IP地址和子网掩码</source>
        <translation>In static IP mode, enter an IP address and a subnet mask</translation>
    </message>
    <message>
        <source>数据超过255字节，未发送</source>
        <translation>The data is over 255 bytes and was not sent</translation>
    </message>
    <message>
        <source>没有权限访问打印机，请安装udev规则后重新插拔打印机</source>
        <translation>No permission to access the printer. Install the udev rule, then unplug and replug the printer.</translation>
    </message>
    <message>
        <source>有多台打印机使用同一端口号，请只连接其中一台</source>
        <translation>Several printers use the same port number; connect only one of them.</translation>
    </message>
    <message>
        <source>输入无效，未发送任何内容</source>
        <translation>The input is invalid; nothing was sent</translation>
    </message>
    <message>
        <source>无法使用USB</source>
        <translation>USB cannot be used</translation>
    </message>
    <message>
        <source>未找到打印机</source>
        <translation>No printer found</translation>
    </message>
    <message>
        <source>没有权限访问打印机。请安装udev规则，然后重新插拔打印机（见 README 的“Using a printer without root”一节）</source>
        <translation>No permission to access the printer. Install the udev rule, then unplug and replug the printer (see &quot;Using a printer without root&quot; in the README).</translation>
    </message>
    <message>
        <source>打印机被其他程序占用</source>
        <translation>In use by another program</translation>
    </message>
    <message>
        <source>打印机被系统驱动占用，无法释放</source>
        <translation>A system driver holds the printer and could not be detached</translation>
    </message>
    <message>
        <source>无法打开打印机</source>
        <translation>The printer could not be opened</translation>
    </message>
    <message>
        <source>打印机没有可用的打印接口</source>
        <translation>The printer has no usable printer interface</translation>
    </message>
    <message>
        <source>无法占用打印机接口</source>
        <translation>The printer&apos;s interface could not be claimed</translation>
    </message>
    <message>
        <source>发送失败，打印机未收到全部数据</source>
        <translation>Sending failed: the printer did not take all of the data</translation>
    </message>
    <message>
        <source>打印机没有应答</source>
        <translation>The printer did not answer</translation>
    </message>
    <message>
        <source>打印机端点停止响应</source>
        <translation>The printer&apos;s endpoint stayed halted</translation>
    </message>
    <message>
        <source>打印机已断开</source>
        <translation>The printer went away</translation>
    </message>
    <message>
        <source>读取应答失败</source>
        <translation>Reading the answer failed</translation>
    </message>
    <message>
        <source>打印机的应答无效</source>
        <translation>The printer&apos;s answer is not valid</translation>
    </message>
    <message>
        <source>连接被拒绝</source>
        <translation>Connection refused</translation>
    </message>
    <message>
        <source>没有到该地址的路由</source>
        <translation>No route to that address</translation>
    </message>
    <message>
        <source>找不到该主机</source>
        <translation>Host not found</translation>
    </message>
    <message>
        <source>连接已断开</source>
        <translation>The connection was closed</translation>
    </message>
    <message>
        <source>网络错误</source>
        <translation>Network error</translation>
    </message>
    <message>
        <source>有应答，但不是打印机状态</source>
        <translation>Answers, but not with a printer status</translation>
    </message>
    <message>
        <source>离线</source>
        <translation>offline</translation>
    </message>
    <message>
        <source>上盖打开</source>
        <translation>cover open</translation>
    </message>
    <message>
        <source>缺纸</source>
        <translation>out of paper</translation>
    </message>
    <message>
        <source>纸将用尽</source>
        <translation>paper near end</translation>
    </message>
    <message>
        <source>正在走纸</source>
        <translation>paper being fed</translation>
    </message>
    <message>
        <source>切刀错误</source>
        <translation>cutter error</translation>
    </message>
    <message>
        <source>不可恢复的错误</source>
        <translation>unrecoverable error</translation>
    </message>
    <message>
        <source>可自动恢复的错误</source>
        <translation>recoverable error</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>error</translation>
    </message>
    <message>
        <source>不报告状态</source>
        <translation>does not report status</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>ready</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>打印机报告：%1</source>
        <translation>The printer reports: %1</translation>
    </message>
    <message>
        <source>打印机在 %1 应答：%2</source>
        <translation>The printer answers at %1: %2</translation>
    </message>
    <message>
        <source>本机没有接口在此子网上，连接必须经过路由器</source>
        <translation>No interface of this computer is on that subnet: a connection has to go through a router</translation>
    </message>
    <message>
        <source>本机的接口 %1 在此子网上</source>
        <translation>This computer&apos;s interface %1 is on that subnet</translation>
    </message>
    <message>
        <source>IP模式为DHCP，没有可检查的地址</source>
        <translation>The IP mode is DHCP: there is no address to check</translation>
    </message>
</context>
<context>
    <name>net_set</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>网口设置</source>
        <translation>Ethernet Settings</translation>
    </message>
    <message>
        <source>IP模式：</source>
        <translation>IP Mode:</translation>
    </message>
    <message>
        <source>DHCP ON</source>
        <translation>DHCP ON</translation>
    </message>
    <message>
        <source>DHCP OFF</source>
        <translation>DHCP OFF</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>000.000.000.000</source>
        <translation>000.000.000.000</translation>
    </message>
    <message>
        <source>子网掩码：</source>
        <translation>Subnet Mask:</translation>
    </message>
    <message>
        <source>网关地址：</source>
        <translation>Gateway Address:</translation>
    </message>
    <message>
        <source>TCP端口：</source>
        <translation>TCP Port:</translation>
    </message>
    <message>
        <source>UDP端口：</source>
        <translation>UDP Port:</translation>
    </message>
    <message>
        <source>获取</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>检查地址</source>
        <translation>Check Address</translation>
    </message>
</context>
<context>
    <name>rpsetup</name>
    <message>
        <source>用 rpsetup --help 查看用法</source>
        <translation>See rpsetup --help for usage</translation>
    </message>
    <message>
        <source>应为0到255之间的端口号</source>
        <translation>must be a port number from 0 to 255</translation>
    </message>
    <message>
        <source>未知的选项：%1</source>
        <translation>Unknown option: %1</translation>
    </message>
    <message>
        <source>未知的命令：%1</source>
        <translation>Unknown command: %1</translation>
    </message>
    <message>
        <source>未找到打印机</source>
        <translation>No printer found</translation>
    </message>
    <message>
        <source>端口%1上没有打印机，已连接的打印机：</source>
        <translation>No printer on port %1; attached printers:</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>Unexpected arguments: %1</translation>
    </message>
    <message>
        <source>应为以下之一：%1</source>
        <translation>must be one of: %1</translation>
    </message>
    <message>
        <source>无法写入文件：%1</source>
        <translation>Cannot write file: %1</translation>
    </message>
    <message>
        <source>转换图片 %1/%2：%3</source>
        <translation>Converting image %1/%2: %3</translation>
    </message>
    <message>
        <source>无法读取图片：%1</source>
        <translation>Cannot read image: %1</translation>
    </message>
    <message>
        <source>正在发送%1字节</source>
        <translation>Sending %1 bytes</translation>
    </message>
    <message>
        <source>请指定一个备份文件</source>
        <translation>Name one backup file</translation>
    </message>
    <message>
        <source>无法读取文件：%1</source>
        <translation>Cannot read file: %1</translation>
    </message>
    <message>
        <source>文件应为一个JSON对象</source>
        <translation>The file must hold one JSON object</translation>
    </message>
    <message>
        <source>请指定要设置的项，例如 speed=normal</source>
        <translation>Name the settings to change, for example speed=normal</translation>
    </message>
    <message>
        <source>未知的键，可用：%1</source>
        <translation>unknown key; known keys: %1</translation>
    </message>
    <message>
        <source>应为对象</source>
        <translation>must be an object</translation>
    </message>
    <message>
        <source>未知的键</source>
        <translation>unknown key</translation>
    </message>
    <message>
        <source>缺少此项</source>
        <translation>missing</translation>
    </message>
    <message>
        <source>应为文本</source>
        <translation>must be text</translation>
    </message>
    <message>
        <source>应为true或false</source>
        <translation>must be true or false</translation>
    </message>
    <message>
        <source>不支持的版本</source>
        <translation>unsupported version</translation>
    </message>
    <message>
        <source>每一项可读取的设置，存为JSON（默认输出到标准输出；
文件只有其所有者可读）</source>
        <translation>every readable setting as JSON (stdout by default;
a file is created readable by its owner only)</translation>
    </message>
    <message>
        <source>文件中有Wi-Fi密码，以0600权限创建。logo无法读回，不在其中。
规则之外的值按打印机中的原样保存（无名称的字节为数字，名称与密码为 {&quot;hex&quot;: ...}）并给出警告，restore 与 apply 写回同样的字节。</source>
        <translation>The file holds the Wi-Fi passwords and is created with mode 0600. Logos cannot be read back and are not included.
Values outside the rules are kept as the printer holds them (a byte without a name as a number, a name or password as {&quot;hex&quot;: ...}), with a warning; restore and apply write the same bytes back.</translation>
    </message>
    <message>
        <source>写回一个备份；--dry-run 只打印帧</source>
        <translation>write a backup back; --dry-run prints the frames</translation>
    </message>
    <message>
        <source>先检查整个文件，再写入每一项。</source>
        <translation>The whole file is checked first; then every item is written.</translation>
    </message>
    <message>
        <source>用法：</source>
        <translation>Usage: </translation>
    </message>
    <message>
        <source>
退出状态：0 成功，1 无法连接打印机或读写失败，
2 用法有误或值无效（未发送任何内容），3 未找到打印机。
</source>
        <translation>
Exit status: 0 success, 1 a printer could not be reached or a read or write failed,
2 bad usage or an invalid value (nothing sent), 3 no printer found.
</translation>
    </message>
    <message>
        <source>应为 %1</source>
        <translation>Expected %1</translation>
    </message>
    <message>
        <source> 或 </source>
        <translation> or </translation>
    </message>
    <message>
        <source>%1 一次只能用于一台打印机，请用 --port</source>
        <translation>%1 works on one printer at a time; choose it with --port</translation>
    </message>
    <message>
        <source>已连接的打印机及其端口</source>
        <translation>the attached printers and their ports</translation>
    </message>
    <message>
        <source>每台打印机一行：端口、产品名和总线路径（供 --path 使用），以制表符分隔；
无权打开的打印机以“（无权限）”代替产品名。
--json：[{&quot;port&quot;: N, &quot;path&quot;: &quot;1-2.1&quot;, &quot;product&quot;: &quot;...&quot;, &quot;selector&quot;: &quot;...&quot;, &quot;access&quot;: &quot;ok&quot; 或 &quot;no-permission&quot;}]</source>
        <translation>One line per printer: port, product string and bus path (for --path), tab separated;
a printer the user may not open shows &quot;(no permission)&quot; for its product.
--json: [{&quot;port&quot;: N, &quot;path&quot;: &quot;1-2.1&quot;, &quot;product&quot;: &quot;...&quot;, &quot;selector&quot;: &quot;...&quot;, &quot;access&quot;: &quot;ok&quot; or &quot;no-permission&quot;}]</translation>
    </message>
    <message>
        <source>把图片存为logo 1、2……（替换全部）</source>
        <translation>store the images as logos 1, 2, ... (replaces all)</translation>
    </message>
    <message>
        <source>threshold（默认）与窗口的转换相同；floyd-steinberg 扩散误差，适合照片。--preview 把每个转换后的logo存为DIR中的1位PNG。</source>
        <translation>threshold (the default) converts as the window does; floyd-steinberg diffuses the error, for photographs. --preview writes each converted logo as a 1-bit PNG into DIR.</translation>
    </message>
    <message>
        <source>打印存储的logo</source>
        <translation>print a stored logo</translation>
    </message>
    <message>
        <source>速度、浓度、报警、固件日期、以太网、
Wi-Fi模式、客户端与热点、Wi-Fi IP</source>
        <translation>speed, density, alarm, firmware date, Ethernet,
Wi-Fi mode, station and access point, Wi-Fi IP</translation>
    </message>
    <message>
        <source>每一项可读取的设置。--json 输出备份文档（与 --all 同用时输出它们的数组）。
密码显示为 ********，除非给出 --show-secrets；backup 保留密码。</source>
        <translation>Every readable setting. --json prints the backup document (with --all, an array of them).
Passwords are shown as ******** unless --show-secrets is given; backup keeps them.</translation>
    </message>
    <message>
        <source>只修改给出的键</source>
        <translation>change only the keys given</translation>
    </message>
    <message>
        <source>打印自检页</source>
        <translation>print the self-test page</translation>
    </message>
    <message>
        <source>请指定一个设置文件</source>
        <translation>Name one settings file</translation>
    </message>
    <message>
        <source>使打印机具有文件中的设置，
只写入不同的项</source>
        <translation>bring the printers to the settings in FILE,
writing only what differs</translation>
    </message>
    <message>
        <source>发送前检查所有的键。多字段项（以太网IP、端口、客户端、热点、Wi-Fi IP）的键合并进从打印机读出的该项。
键见 rpsetup --help。</source>
        <translation>All keys are checked before anything is sent. A key of a multi-field item (Ethernet IP, ports, station, access point, Wi-Fi IP) is merged into the item as read from the printer.
Keys: see rpsetup --help.</translation>
    </message>
    <message>
        <source>图片的数据块过大：%1 为 %2 字节，一次下载最多 %3 字节</source>
        <translation>Image block too large: %1 is %2 bytes; a download holds at most %3 bytes</translation>
    </message>
    <message>
        <source>图片超过1600万像素：%1</source>
        <translation>Image over 16 megapixels: %1</translation>
    </message>
    <message>
        <source>%1：不是普通文件</source>
        <translation>%1: not a regular file</translation>
    </message>
    <message>
        <source>%1：文件超过1 MiB，不是设置文档</source>
        <translation>%1: larger than 1 MiB, not a settings document</translation>
    </message>
    <message>
        <source>%1：文档中没有可写入的设置</source>
        <translation>%1: the document holds no settings to write</translation>
    </message>
    <message>
        <source>%1：文档设置了静态IP模式，写入多台打印机会使它们使用同一地址；请用 --port 逐台写入</source>
        <translation>%1: the document sets a static IP mode, which would give several printers the same address; write one printer at a time with --port</translation>
    </message>
    <message>
        <source>无法写入标准输出：%1</source>
        <translation>Cannot write to standard output: %1</translation>
    </message>
    <message>
        <source>不是有效的JSON：%1（第%2字节）</source>
        <translation>not valid JSON: %1 (at byte %2)</translation>
    </message>
    <message>
        <source>重复的键</source>
        <translation>duplicate key</translation>
    </message>
    <message>
        <source>嵌套超过%1层，不是设置文档（第%2字节）</source>
        <translation>nested deeper than %1 levels, so not a settings document (at byte %2)</translation>
    </message>
    <message>
        <source>含有不成对的代理项转义（如\udc9b），它不是字符；不是UTF-8的字节请写为 {&quot;hex&quot;: &quot;…&quot;}</source>
        <translation>holds an unpaired surrogate escape (such as \udc9b), which is no character; write bytes that are not UTF-8 as {&quot;hex&quot;: &quot;…&quot;}</translation>
    </message>
    <message>
        <source>不是有效的UTF-8文本</source>
        <translation>not valid UTF-8 text</translation>
    </message>
    <message>
        <source>%1：未发送：%2</source>
        <translation>%1: not sent: %2</translation>
    </message>
    <message>
        <source>%1：已写入，但读回失败：%2</source>
        <translation>%1: written, but reading it back failed: %2</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1：警告：%2 的值是规则之外的，按打印机中的原样保存</source>
        <translation>%1: warning: %2 holds a value outside the rules; it is kept as the printer holds it</translation>
    </message>
    <message>
        <source>应为 {&quot;hex&quot;: &quot;…&quot;}，成对的十六进制数字，不含00</source>
        <translation>must be {&quot;hex&quot;: &quot;…&quot;}, pairs of hexadecimal digits without 00</translation>
    </message>
    <message>
        <source>%1：警告：打印机是 %2，备份来自 %3</source>
        <translation>%1: warning: the printer is %2 but the backup comes from %3</translation>
    </message>
    <message>
        <source>用法：rpsetup [--port N | --path PATH | --all] 命令 [参数]

读取和修改通过USB连接的票据打印机的设置。

命令：
</source>
        <translation>Usage: rpsetup [--port N | --path PATH | --all] COMMAND [ARGS]

Reads and changes the settings of receipt printers attached by USB.

Commands:
</translation>
    </message>
    <message>
        <source>--%1 只能给出一次</source>
        <translation>--%1 may be given only once</translation>
    </message>
    <message>
        <source>--port、--path 和 --all 只能选用一个</source>
        <translation>Use only one of --port, --path and --all</translation>
    </message>
    <message>
        <source>端口%1（%2）</source>
        <translation>port %1 (%2)</translation>
    </message>
    <message>
        <source>端口%1</source>
        <translation>port %1</translation>
    </message>
    <message>
        <source>（无权限）</source>
        <translation>(no permission)</translation>
    </message>
    <message>
        <source>没有路径为%1的打印机，已连接的打印机：</source>
        <translation>No printer at path %1; attached printers:</translation>
    </message>
    <message>
        <source>端口%1上有多台打印机，请用 --path 选择一台：</source>
        <translation>Several printers are on port %1; choose one with --path:</translation>
    </message>
    <message>
        <source>连接了多台打印机，请用 --port 或 --path 选择一台，或用 --all：</source>
        <translation>Several printers are attached; choose one with --port or --path, or use --all:</translation>
    </message>
    <message>
        <source>%1：无法连接打印机</source>
        <translation>%1: the printer cannot be reached</translation>
    </message>
    <message>
        <source>%1：完成</source>
        <translation>%1: done</translation>
    </message>
    <message>
        <source>%1：失败</source>
        <translation>%1: failed</translation>
    </message>
    <message>
        <source>%1：读取失败：%2</source>
        <translation>%1: reading failed: %2</translation>
    </message>
    <message>
        <source>%1：写入失败：%2</source>
        <translation>%1: writing failed: %2</translation>
    </message>
    <message>
        <source>%1：读回的值与写入的不同：%2</source>
        <translation>%1: the printer gave back other values than were written: %2</translation>
    </message>
    <message>
        <source>%1：无需更改</source>
        <translation>%1: nothing to change</translation>
    </message>
    <message>
        <source>%1：将更改：%2</source>
        <translation>%1: would change: %2</translation>
    </message>
    <message>
        <source>%1：已更改：%2</source>
        <translation>%1: changed: %2</translation>
    </message>
    <message>
        <source>
选项：
  --port N       USB端口N上的打印机；只连接一台打印机时可省略
  --path PATH    总线路径为PATH（如1-2.1，见 list）的打印机
  --all          对每台已连接的打印机执行命令
  --host ADDRESS[:PORT]
                 网络上的打印机（端口默认9100）；只用于 status 和
                 check-network，设置只通过USB读写
  -h, --help     本说明；命令 --help 查看一个命令的说明
  -V, --version  程序的版本

set 的键：
</source>
        <translation>
Options:
  --port N       the printer on USB port N; may be left out when one printer is attached
  --path PATH    the printer at bus path PATH (such as 1-2.1, see list)
  --all          run the command on every attached printer
  --host ADDRESS[:PORT]
                 the printer on the network (port 9100 by default); for status and
                 check-network only: settings are read and written over USB
  -h, --help     this text; COMMAND --help for one command
  -V, --version  the program&apos;s version

Keys of set:
</translation>
    </message>
    <message>
        <source>--host 不能与 --port、--path 或 --all 同用</source>
        <translation>--host cannot be used with --port, --path or --all</translation>
    </message>
    <message>
        <source>应为 ADDRESS 或 ADDRESS:PORT（端口1到65535）</source>
        <translation>expected ADDRESS or ADDRESS:PORT (port 1 to 65535)</translation>
    </message>
    <message>
        <source>%1 只通过USB工作：打印机只在网络上接收打印数据和状态请求；--host 只用于 status 和 check-network</source>
        <translation>%1 works over USB only: on the network these printers take print data and status requests alone; --host is for status and check-network</translation>
    </message>
    <message>
        <source>无法读取状态</source>
        <translation>no status could be read</translation>
    </message>
    <message>
        <source>应答：%1</source>
        <translation>answers: %1</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>%1：%2：本机的接口 %3 在此子网上</source>
        <translation>%1: %2: this computer&apos;s interface %3 is on that subnet</translation>
    </message>
    <message>
        <source>%1：%2：本机没有接口在此子网上，连接必须经过路由器</source>
        <translation>%1: %2: no interface of this computer is on that subnet; a connection would have to go through a router</translation>
    </message>
    <message>
        <source>应为0到3600之间的秒数</source>
        <translation>must be a number of seconds from 0 to 3600</translation>
    </message>
    <message>
        <source>%1：%2 使用DHCP，没有可检查的地址；用 --host 指定地址</source>
        <translation>%1: %2 uses DHCP and has no address to check; give one with --host</translation>
    </message>
    <message>
        <source>打印机的实时状态：纸、上盖、错误</source>
        <translation>the printer&apos;s real-time status: paper, cover, errors</translation>
    </message>
    <message>
        <source>用实时状态请求（DLE EOT 1 到 4）询问打印机，经USB或网络（--host）。每台打印机一行：“就绪”、存在的问题，或“不报告状态”。
--json：每台打印机一个对象 {&quot;printer&quot;, &quot;link&quot;, &quot;reports&quot;, &quot;ready&quot;, &quot;offline&quot;, &quot;coverOpen&quot;, &quot;paper&quot;, &quot;errors&quot;, &quot;raw&quot;}。
退出状态：读到每台打印机的状态时为0（不报告状态也算）。--check 按监控插件的约定：0 就绪，1 警告（纸将用尽），2 严重（离线、上盖打开、缺纸、错误），3 未知。</source>
        <translation>Asks the printer with the real-time status requests (DLE EOT 1 to 4), over USB or the network (--host). One line per printer: &quot;ready&quot;, the problems, or &quot;does not report status&quot;.
--json: one object per printer {&quot;printer&quot;, &quot;link&quot;, &quot;reports&quot;, &quot;ready&quot;, &quot;offline&quot;, &quot;coverOpen&quot;, &quot;paper&quot;, &quot;errors&quot;, &quot;raw&quot;}.
Exit status: 0 when every printer&apos;s status was read (one that does not report status counts). --check follows the monitoring plugins&apos; convention: 0 ready, 1 warning (paper near end), 2 critical (offline, cover open, paper end, an error), 3 unknown.</translation>
    </message>
    <message>
        <source>检查打印机是否在其网络地址上应答</source>
        <translation>check that the printer answers at its network addresses</translation>
    </message>
    <message>
        <source>经USB读出打印机的以太网和Wi-Fi IP设置，连接每个静态地址的TCP端口（2秒内），发送状态请求并等待1秒应答。DHCP的接口没有可检查的地址：用 --host 指定。
--wait S：每秒重试，直到每个地址都应答或过了S秒（Wi-Fi设置在打印机重启后生效）。
--print：向每个应答的地址打印一张测试小票。
退出状态：每个地址都应答时为0，否则为1。</source>
        <translation>Reads the printer&apos;s Ethernet and Wi-Fi IP settings over USB, connects to each static address&apos;s TCP port (within 2 s), sends a status request and waits 1 s for the answer. An interface on DHCP has no address to check: give one with --host.
--wait S: try again every second until every address answers or S seconds pass (Wi-Fi settings take effect after the printer restarts).
--print: print a test receipt at each address that answered.
Exit status: 0 when every address answered, else 1.</translation>
    </message>
    <message>
        <source>文件为备份格式，可省略任何部分和字段，省略的保持打印机中的值。文件中的每一项先读取，只在不同时写入，再读回核对。
--check 不写入，只报告将更改的项；--diff 列出每个更改的字段（之前 → 之后）；--json 每台打印机输出 {&quot;port&quot;, &quot;path&quot;, &quot;changed&quot;, &quot;items&quot;}。
密码显示为 ********，除非给出 --show-secrets。logo 无法读回，不在其中：请用 logo download。
--check-network[=S]：写入更改了网络项时，像 check-network 一样检查每个静态地址（最多等待S秒）；打印机不应答时退出状态为1。</source>
        <translation>FILE is in the backup format; any sections and fields may be left out and stay as the printer holds them. Each item in the file is read, written only when it differs, and read back.
--check writes nothing and reports what would change; --diff prints each changed field as before → after; --json prints {&quot;port&quot;, &quot;path&quot;, &quot;changed&quot;, &quot;items&quot;} per printer.
Passwords are shown as ******** unless --show-secrets is given. Logos cannot be read back and are not handled: use logo download.
--check-network[=S]: after a write that changed a network item, check every static address as check-network does (waiting up to S seconds); a printer that does not answer makes the exit status 1.</translation>
    </message>
    <message>
        <source>等待 %1 应答，最多%2秒（Wi-Fi设置在打印机重启后生效）</source>
        <translation>waiting up to %2 s for %1 to answer (Wi-Fi settings take effect after the printer restarts)</translation>
    </message>
</context>
<context>
    <name>wifi</name>
    <message>
        <source>MainWindow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>wifi设置</source>
        <translation>Wi-Fi Settings</translation>
    </message>
    <message>
        <source>wifi模式：</source>
        <translation>Wi-Fi Mode:</translation>
    </message>
    <message>
        <source>STA</source>
        <translation>STA</translation>
    </message>
    <message>
        <source>AP</source>
        <translation>AP</translation>
    </message>
    <message>
        <source>STA模式</source>
        <translation>STA Mode</translation>
    </message>
    <message>
        <source>wifi名称：</source>
        <translation>Wi-Fi Name:</translation>
    </message>
    <message>
        <source>wifi密码：</source>
        <translation>Wi-Fi Password:</translation>
    </message>
    <message>
        <source>AP模式</source>
        <translation>AP Mode</translation>
    </message>
    <message>
        <source>AP_IP:</source>
        <translation>AP_IP:</translation>
    </message>
    <message>
        <source>000.000.000.000</source>
        <translation>000.000.000.000</translation>
    </message>
    <message>
        <source>获取</source>
        <translation>Get</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>注：设置此项功能后需要重启打印机</source>
        <translation>Note: The printer needs to be restarted after setting this feature</translation>
    </message>
    <message>
        <source>注：wifi密码最少为8位</source>
        <translation>Note：The wifi password is at least 8</translation>
    </message>
    <message>
        <source>wifi_ip设置</source>
        <translation>Wi-Fi IP Settings</translation>
    </message>
    <message>
        <source>IP模式</source>
        <translation>IP Mode</translation>
    </message>
    <message>
        <source>DHCP OFF</source>
        <translation>DHCP OFF</translation>
    </message>
    <message>
        <source>DHCP ON</source>
        <translation>DHCP ON</translation>
    </message>
    <message>
        <source>IP:</source>
        <translation>IP:</translation>
    </message>
    <message>
        <source>网关地址：</source>
        <translation>Gateway Address:</translation>
    </message>
    <message>
        <source>子网掩码：</source>
        <translation>Subnet Mask:</translation>
    </message>
    <message>
        <source>DNS:</source>
        <translation>DNS:</translation>
    </message>
</context>
</TS>
