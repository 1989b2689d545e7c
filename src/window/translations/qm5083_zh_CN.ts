<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Card</name>
    <message>
        <source>The program reaches no card: it was started without --pci-id. To practise on the simulated card, start it with --simulate. For a real card, start it with --pci-id VVVV:DDDD, the vendor and device id that lspci -nn shows for the card.</source>
        <translation>程序未连接任何板卡：启动时没有给出 --pci-id。要在仿真板卡上练习，请用 --simulate 启动；要使用真实板卡，请用 --pci-id VVVV:DDDD 启动，VVVV:DDDD 是 lspci -nn 为该板卡显示的厂商和设备 ID。</translation>
    </message>
    <message>
        <source>The program reaches no card: no card %1 is on the PCI bus. Check with lspci -nn that the card is in the PC and that these are its ids, then start the program again.</source>
        <translation>程序未连接任何板卡：PCI 总线上没有 %1 板卡。请用 lspci -nn 检查板卡是否已插入本机、ID 是否正确，然后重新启动程序。</translation>
    </message>
    <message>
        <source>it has no I/O BAR</source>
        <translation>它没有 I/O BAR</translation>
    </message>
    <message>
        <source>BAR %1 is not present</source>
        <translation>BAR %1 不存在</translation>
    </message>
    <message>
        <source>BAR %1 is a memory BAR, not an I/O BAR</source>
        <translation>BAR %1 是内存 BAR，不是 I/O BAR</translation>
    </message>
    <message>
        <source>BAR %1 has no ports assigned</source>
        <translation>BAR %1 未分配端口</translation>
    </message>
    <message>
        <source>BAR %1 lies beyond port FFFF</source>
        <translation>BAR %1 超出了端口 FFFF</translation>
    </message>
    <message>
        <source>cannot read the PCI bus in %1: entry &quot;%2&quot; in %3 is not a PCI address</source>
        <translation>无法读取 %1 中的 PCI 总线：%3 中的条目“%2”不是 PCI 地址</translation>
    </message>
    <message>
        <source>--pci-id &quot;%1&quot; is not VVVV:DDDD or VVVV:DDDD:BAR (vendor and device id in hex as lspci -nn shows them, BAR 0 to 5)</source>
        <translation>--pci-id “%1”不是 VVVV:DDDD 或 VVVV:DDDD:BAR 格式（厂商和设备 ID 为 lspci -nn 显示的十六进制数，BAR 为 0 到 5）</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>--pci-id %1 is given more than once</source>
        <translation>--pci-id %1 给出了不止一次</translation>
    </message>
    <message>
        <source>cannot read the PCI bus in %1 through libpci: %2</source>
        <translation>无法通过 libpci 读取 %1 中的 PCI 总线：%2</translation>
    </message>
    <message>
        <source>this libpci has no sysfs.path parameter</source>
        <translation>此 libpci 没有 sysfs.path 参数</translation>
    </message>
    <message>
        <source>card %1 (%2, %3) cannot be used: %4; choose its I/O BAR with --pci-id %3:&lt;BAR&gt; (lspci -vv -s %2 lists its BARs as regions; I/O BARs show &quot;I/O ports&quot;)</source>
        <translation>板卡 %1（%2，%3）无法使用：%4；请用 --pci-id %3:&lt;BAR&gt; 选择它的 I/O BAR（lspci -vv -s %2 将各 BAR 列为 Region，I/O BAR 显示为“I/O ports”）</translation>
    </message>
    <message>
        <source>reading port %1 through %2 failed</source>
        <translation>通过 %2 读端口 %1 失败</translation>
    </message>
    <message>
        <source>reading port %1 through %2 returned no byte</source>
        <translation>通过 %2 读端口 %1 没有读到字节</translation>
    </message>
    <message>
        <source>writing port %1 through %2 was refused: kernel lockdown (mode &quot;%3&quot;) forbids port writes from user space; to use the card, boot with lockdown off: disable Secure Boot in the firmware setup (or with mokutil --disable-validation) and remove any lockdown= kernel parameter</source>
        <translation>通过 %2 写端口 %1 被拒绝：内核锁定（模式“%3”）禁止用户程序写端口；要使用板卡，请在关闭锁定的情况下启动：在固件设置中关闭安全启动（Secure Boot，或使用 mokutil --disable-validation），并去掉内核参数 lockdown=</translation>
    </message>
    <message>
        <source>writing port %1 through %2 failed</source>
        <translation>通过 %2 写端口 %1 失败</translation>
    </message>
    <message>
        <source>writing port %1 through %2 wrote no byte</source>
        <translation>通过 %2 写端口 %1 没有写入字节</translation>
    </message>
    <message>
        <source>port %1 refused: it belongs to card %2, but this operation began on card %3 (%4) and stays on one card; check the base address</source>
        <translation>端口 %1 被拒绝：它属于板卡 %2，而本次操作从板卡 %3（%4）开始，一次操作只访问一块板卡；请检查基地址</translation>
    </message>
    <message>
        <source>port %1 refused: no card was given with --pci-id, so the program reaches no port</source>
        <translation>端口 %1 被拒绝：启动时没有用 --pci-id 给出板卡，程序不访问任何端口</translation>
    </message>
    <message>
        <source>port %1 refused: no card %2 on the PCI bus; check with lspci -nn that the card is in the PC and that these are its ids</source>
        <translation>端口 %1 被拒绝：PCI 总线上没有 %2 板卡；请用 lspci -nn 检查板卡是否已插入本机、ID 是否正确</translation>
    </message>
    <message>
        <source>port %1 refused: it is not a register of the cards given with --pci-id (%2); check the base address</source>
        <translation>端口 %1 被拒绝：它不是 --pci-id 所给板卡的寄存器（%2）；请检查基地址</translation>
    </message>
    <message>
        <source>card %1 has I/O decoding switched off (I/O Space bit of its PCI command register is 0), so port %2 would not reach it; enable it as root with &quot;setpci -s %1 COMMAND=0001:0001&quot; or load the card&apos;s driver</source>
        <translation>板卡 %1 的 I/O 译码已关闭（其 PCI 命令寄存器的 I/O Space 位为 0），端口 %2 无法到达该板卡；请以 root 身份用“setpci -s %1 COMMAND=0001:0001”打开，或加载板卡的驱动程序</translation>
    </message>
    <message>
        <source>no permission to open %1 for port %2: install udev/60-qm5083-bench.rules with the card&apos;s ids, add your user to group qm5083 and log in again (README.md, &quot;Running on a real card&quot;), or run as root</source>
        <translation>没有权限为端口 %2 打开 %1：请安装填好板卡 ID 的 udev/60-qm5083-bench.rules，把用户加入 qm5083 组并重新登录（见 README.md 的“Running on a real card”），或以 root 身份运行</translation>
    </message>
    <message>
        <source>cannot open %1 for port %2 (card %3 BAR %4)</source>
        <translation>无法为端口 %2 打开 %1（板卡 %3 BAR %4）</translation>
    </message>
    <message>
        <source>port %1 refused: it is not a register of the simulated card (%2-%3); check the base address</source>
        <translation>端口 %1 被拒绝：它不是仿真板卡的寄存器（%2-%3）；请检查基地址</translation>
    </message>
</context>
<context>
    <name>qm5083::window</name>
    <message>
        <source>Bench test program for the qm5083 PCI I/O card: digital outputs and inputs, square-wave clocks on its 8254 counters, DA codes.
A real card needs --pci-id with the card&apos;s ids; without it the program reaches no card. --simulate works on the simulated card instead.</source>
        <translation>qm5083 PCI 输入输出板卡的测试程序：开关量输出和输入、8254 计数器的方波时钟、DA 码。
使用真实板卡需要用 --pci-id 给出板卡的 ID，否则程序不连接任何板卡。--simulate 改用仿真板卡。</translation>
    </message>
    <message>
        <source>Work on the simulated card built into the program (card 1 at base E000) instead of the PCI bus.</source>
        <translation>使用程序内置的仿真板卡（卡号 1，基地址 E000），不访问 PCI 总线。</translation>
    </message>
    <message>
        <source>A real card&apos;s PCI vendor and device id in hex, as lspci -nn shows them, and optionally the index of its I/O BAR (default: its first I/O BAR). Needed for a real card. Repeatable; the cards found are numbered 1, 2, ... in PCI address order.</source>
        <translation>真实板卡的 PCI 厂商和设备 ID（十六进制，同 lspci -nn 的显示），可选加上 I/O BAR 的序号（默认为第一个 I/O BAR）。使用真实板卡时必须给出。可重复给出；找到的板卡按 PCI 地址顺序编号为 1、2、……</translation>
    </message>
    <message>
        <source>Write every port access to standard error: seconds since start, in or out, port, byte.</source>
        <translation>把每次端口访问写到标准错误输出：启动后的秒数、in 或 out、端口、字节。</translation>
    </message>
    <message>
        <source>Print every control of the window with its position and size in pixels, one a line, and end without showing the window.</source>
        <translation>逐行打印窗口中每个控件的位置和大小（像素），然后结束，不显示窗口。</translation>
    </message>
    <message>
        <source>Try &apos;qm5083-bench --help&apos;.</source>
        <translation>请参阅“qm5083-bench --help”。</translation>
    </message>
    <message>
        <source>--pci-id is ignored with --simulate</source>
        <translation>使用 --simulate 时忽略 --pci-id</translation>
    </message>
    <message>
        <source>In text box %1: &quot;%2&quot;.</source>
        <translation>文本框 %1：“%2”。</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; cannot be used; type a value from %3 to %4.</source>
        <translation>%1：“%2”无法使用；请输入 %3 到 %4 之间的值。</translation>
    </message>
    <message>
        <source>The base address stored last (%1) is not a 16-bit port number.</source>
        <translation>最近保存的基地址（%1）不是 16 位端口号。</translation>
    </message>
    <message>
        <source>The base address stored last (%1) plus register offset %2 is not a 16-bit port number.</source>
        <translation>最近保存的基地址（%1）加上寄存器偏移 %2 不是 16 位端口号。</translation>
    </message>
    <message>
        <source>No port was written.</source>
        <translation>没有写任何端口。</translation>
    </message>
    <message>
        <source>Written before it stopped (port=byte): %1.</source>
        <translation>停止前已写入（端口=字节）：%1。</translation>
    </message>
    <message>
        <source>Type the card&apos;s base address in 基地址 and press 输出 or DA 输出, or press 得到板卡的基地址.</source>
        <translation>请在“基地址”中输入板卡的基地址，然后按“输出”或“DA 输出”，或者按“得到板卡的基地址”。</translation>
    </message>
    <message>
        <source>Port access refused</source>
        <translation>端口访问被拒绝</translation>
    </message>
    <message>
        <source>Port access error %1: %2</source>
        <translation>端口访问错误 %1：%2</translation>
    </message>
    <message>
        <source>The card cannot be used</source>
        <translation>板卡无法使用</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Unexpected error</source>
        <translation>意外错误</translation>
    </message>
    <message>
        <source>The operation %1 stopped there; the program goes on.</source>
        <translation>操作“%1”在此停止；程序继续运行。</translation>
    </message>
    <message>
        <source>The inputs are no longer read. To read them again, store a base address: press 得到板卡的基地址, 输出 or DA 输出.</source>
        <translation>开关量输入不再读取。要重新读取，请保存一个基地址：按“得到板卡的基地址”、“输出”或“DA 输出”。</translation>
    </message>
</context>
<context>
    <name>qm5083::window::MainWindow</name>
    <message>
        <source>Card numbers here follow the cards&apos; PCI addresses: the card with the lowest address is card 1.</source>
        <translation>本程序按 PCI 地址顺序为板卡编号：地址最小的板卡为 1 号卡。</translation>
    </message>
    <message>
        <source>finding the cards</source>
        <translation>查找板卡</translation>
    </message>
    <message>
        <source>No card</source>
        <translation>没有板卡</translation>
    </message>
</context>
</TS>
