<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Card</name>
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
        <source>%1: %2</source>
        <translation>%1：%2</translation>
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
        <source>card %1 has I/O decoding switched off (I/O Space bit of its PCI command register is 0), so port %2 would not reach it; enable it as root with &quot;setpci -s %1 COMMAND=0001:0001&quot; or load the card&apos;s driver</source>
        <translation>板卡 %1 的 I/O 译码已关闭（其 PCI 命令寄存器的 I/O Space 位为 0），端口 %2 无法到达该板卡；请以 root 身份用“setpci -s %1 COMMAND=0001:0001”打开，或加载板卡的驱动程序</translation>
    </message>
    <message>
        <source>cannot open %1 for port %2 (card %3 BAR %4)</source>
        <translation>无法为端口 %2 打开 %1（板卡 %3 BAR %4）</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>--sim-fault &quot;%1&quot; is not a fault of the simulated card: %2</source>
        <translation>--sim-fault “%1”不是仿真板卡的故障：%2</translation>
    </message>
    <message>
        <source>data line B of chip X stuck at V</source>
        <translation>芯片 X 的数据线 B 固定为 V</translation>
    </message>
    <message>
        <source>it belongs to card %1, but this operation is on card %2 (%3) and stays on one card; check the base address</source>
        <translation>它属于板卡 %1，而本次操作在板卡 %2（%3）上，一次操作只访问一块板卡；请检查基地址</translation>
    </message>
    <message>
        <source>no card was given with --pci-id, so the program reaches no port</source>
        <translation>启动时没有用 --pci-id 给出板卡，程序不访问任何端口</translation>
    </message>
    <message>
        <source>no card %1 on the PCI bus; check with lspci -nn that the card is in the PC and that these are its ids</source>
        <translation>PCI 总线上没有 %1 板卡；请用 lspci -nn 检查板卡是否已插入本机、ID 是否正确</translation>
    </message>
    <message>
        <source>it is not a register of the cards given with --pci-id (%1); check the base address</source>
        <translation>它不是 --pci-id 所给板卡的寄存器（%1）；请检查基地址</translation>
    </message>
    <message>
        <source>port %1 refused: %2</source>
        <translation>端口 %1 被拒绝：%2</translation>
    </message>
    <message>
        <source>it is not a register of the simulated card (%1-%2); check the base address</source>
        <translation>它不是仿真板卡的寄存器（%1-%2）；请检查基地址</translation>
    </message>
    <message>
        <source>an empty box reads as 0</source>
        <translation>空文本框读作 0</translation>
    </message>
    <message>
        <source>reading stops at &quot;%1&quot;</source>
        <translation>读到“%1”为止</translation>
    </message>
    <message>
        <source>blanks are left out</source>
        <translation>空格被忽略</translation>
    </message>
    <message>
        <source>%1: %2 stops at this box</source>
        <translation>%1：%2 会在此框停止</translation>
    </message>
    <message>
        <source>reads as %1, writes %2: %3</source>
        <translation>读作 %1，写入 %2：%3</translation>
    </message>
    <message>
        <source>a byte keeps its low 8 bits</source>
        <translation>一个字节只保留低 8 位</translation>
    </message>
    <message>
        <source>reads as %1, beyond FFF: DA 输出 stops at this box</source>
        <translation>读作 %1，超出 FFF：DA 输出 会在此框停止</translation>
    </message>
    <message>
        <source>reads as %1, beyond FFFF: no port can be formed from it</source>
        <translation>读作 %1，超出 FFFF：无法由它得到端口</translation>
    </message>
    <message>
        <source>reads as %1: %2</source>
        <translation>读作 %1：%2</translation>
    </message>
    <message>
        <source>bits 7 to 0: %1</source>
        <translation>第 7 位到第 0 位：%1</translation>
    </message>
    <message>
        <source>a count of 0 divides by 65536</source>
        <translation>计数值 0 表示 65536 分频</translation>
    </message>
    <message>
        <source>a count of 1 is not valid for a square wave</source>
        <translation>计数值 1 不能产生方波</translation>
    </message>
    <message>
        <source>the text reads as %1</source>
        <translation>文本读作 %1</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; reads as %3, outside the divider&apos;s range 0 to 65535</source>
        <translation>%1：“%2”读作 %3，超出分频因子范围 0 到 65535</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; cannot be read as a divider</source>
        <translation>%1：“%2”不能读作分频因子</translation>
    </message>
    <message>
        <source>Not accepted by the clock output: %1</source>
        <translation>时钟输出不接受：%1</translation>
    </message>
    <message>
        <source>Output frequency unknown: the base divider is not accepted</source>
        <translation>输出频率未知：基频分频因子不被接受</translation>
    </message>
    <message>
        <source>Base frequency (pin 31) = %1 / %2 = %3</source>
        <translation>基频（31 针）= %1 / %2 = %3</translation>
    </message>
    <message>
        <source>Outputs 1, 4, 7, ..., 28 = %1 / (%2 x %3) = %4</source>
        <translation>输出 1, 4, 7, ..., 28 = %1 / (%2 x %3) = %4</translation>
    </message>
    <message>
        <source>0 divides by 65536</source>
        <translation>0 表示 65536 分频</translation>
    </message>
    <message>
        <source>a larger value, up to FFFF, keeps its low 8 bits</source>
        <translation>更大的值（最大 FFFF）只保留低 8 位</translation>
    </message>
    <message>
        <source>--sim-fault &quot;%1&quot; bridges input bit %2.%3 to itself; name two different bits</source>
        <translation>--sim-fault “%1”把输入位 %2.%3 与它自己短接；请给出两个不同的位</translation>
    </message>
    <message>
        <source>--sim-fault &quot;%1&quot; contradicts &quot;%2&quot;: give one value for one place</source>
        <translation>--sim-fault “%1”与“%2”矛盾：同一处只能给一个值</translation>
    </message>
    <message>
        <source>input group G (1 to 4), bit B (0 to 7) always reads V (0 or 1)</source>
        <translation>输入组 G（1 到 4）的位 B（0 到 7）总是读为 V（0 或 1）</translation>
    </message>
    <message>
        <source>input bits G.B and H.C bridged</source>
        <translation>输入位 G.B 与 H.C 短接</translation>
    </message>
    <message>
        <source>counter chip X (A to D) absent</source>
        <translation>计数器芯片 X（A 到 D）不存在</translation>
    </message>
    <message>
        <source>counter N (0 to 2) of chip X never counts</source>
        <translation>芯片 X 的计数器 N（0 到 2）从不计数</translation>
    </message>
    <message>
        <source>DA channel C (0 to 3) off by MV millivolts (-10000 to 10000)</source>
        <translation>DA 通道 C（0 到 3）偏离 MV 毫伏（-10000 到 10000）</translation>
    </message>
    <message>
        <source>DA channel C&apos;s span off by PCT percent (-50 to 50)</source>
        <translation>DA 通道 C 的量程偏差 PCT 百分比（-50 到 50）</translation>
    </message>
    <message>
        <source>%1: %2 is missing; give %3</source>
        <translation>%1：缺少 %2；请给出 %3</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is one argument too many</source>
        <translation>%1：“%2”是多余的参数</translation>
    </message>
    <message>
        <source>%1: %2 &quot;%3&quot; is not %4</source>
        <translation>%1：%2“%3”不是%4</translation>
    </message>
    <message>
        <source>da-check needs --channel C and --range LOW:HIGH</source>
        <translation>da-check 需要 --channel C 和 --range LOW:HIGH</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>没有给出命令</translation>
    </message>
    <message>
        <source>The program reaches no card: it was started without --pci-id, and the card set-up %1 names no card. To practise on the simulated card, start it with --simulate. For a real card, set it up once with sudo qm5083-bench --setup VVVV:DDDD, the vendor and device id that lspci -nn shows for the card, or start the program with --pci-id VVVV:DDDD.</source>
        <translation>程序未连接任何板卡：启动时没有给出 --pci-id，板卡设置 %1 也没有列出板卡。要在仿真板卡上练习，请用 --simulate 启动；要使用真实板卡，请执行一次 sudo qm5083-bench --setup VVVV:DDDD（VVVV:DDDD 是 lspci -nn 为该板卡显示的厂商和设备 ID），或用 --pci-id VVVV:DDDD 启动程序。</translation>
    </message>
    <message>
        <source>no permission to open %1 for port %2: &quot;qm5083-bench --check-setup&quot; says what is missing; once &quot;sudo qm5083-bench --setup VVVV:DDDD&quot; has given group qm5083 the card, its members reach it after logging in again</source>
        <translation>没有权限打开 %1（端口 %2）：&quot;qm5083-bench --check-setup&quot; 会指出缺少什么；&quot;sudo qm5083-bench --setup VVVV:DDDD&quot; 把板卡开放给 qm5083 组之后，组成员重新登录即可使用</translation>
    </message>
    <message>
        <source>card %1 is busy: %2 has held %3 for over %4 s, so port %5 was not reached and nothing was written; try again when that program is done, or end it</source>
        <translation>板卡 %1 正忙：%2 占用 %3 已超过 %4 秒，因此没有访问端口 %5，也没有写入任何数据；请等该程序完成后重试，或结束该程序</translation>
    </message>
    <message>
        <source>process %1 (%2)</source>
        <translation>进程 %1（%2）</translation>
    </message>
    <message>
        <source>another program</source>
        <translation>另一个程序</translation>
    </message>
    <message>
        <source>cannot lock %1 for port %2</source>
        <translation>无法为端口 %2 锁定 %1</translation>
    </message>
    <message>
        <source>card %1 is no longer reachable at port %2: its file %3 is gone (the card left the PCI bus, or was unbound); check the card, then locate it again with 得到板卡的基地址</source>
        <translation>板卡 %1 在端口 %2 处已无法访问：其文件 %3 已不存在（板卡已离开 PCI 总线，或已被解除绑定）；请检查板卡，然后用“得到板卡的基地址”重新定位</translation>
    </message>
    <message>
        <source>--pci-id %1 and %2 can name the same card; name each card once</source>
        <translation>--pci-id %1 和 %2 可能指同一块板卡；每块板卡只能给出一次</translation>
    </message>
    <message>
        <source>%1, line %2: %3; correct it, or set the cards up again with sudo qm5083-bench --setup</source>
        <translation>%1 第 %2 行：%3；请改正，或用 sudo qm5083-bench --setup 重新设置板卡</translation>
    </message>
    <message>
        <source>--pci-id &quot;%1&quot; is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and device id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the subsystem&apos;s ids as lspci -nnv shows them)</source>
        <translation>--pci-id “%1”不是 VVVV:DDDD[:BAR][/SSSS:TTTT]（厂商 ID 和设备 ID，各为四位十六进制数，与 lspci -nn 显示的一致；BAR 为 0 到 5；子系统 ID 与 lspci -nnv 显示的一致）</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is longer than %2 bytes</source>
        <translation>“%1”超过 %2 字节</translation>
    </message>
    <message>
        <source>&quot;%1&quot; holds the control character %2</source>
        <translation>“%1”含有控制字符 %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and device id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the subsystem&apos;s ids as lspci -nnv shows them)</source>
        <translation>“%1”不是 VVVV:DDDD[:BAR][/SSSS:TTTT]（厂商 ID 和设备 ID，各为四位十六进制数，与 lspci -nn 显示的一致；BAR 为 0 到 5；子系统 ID 与 lspci -nnv 显示的一致）</translation>
    </message>
    <message>
        <source>%1 names a card that line %2 names already (%3); each card is named once</source>
        <translation>%1 所指的板卡第 %2 行已经给出（%3）；每块板卡只能给出一次</translation>
    </message>
    <message>
        <source>the card set-up %1 cannot be read: %2</source>
        <translation>无法读取板卡设置 %1：%2</translation>
    </message>
    <message>
        <source>it is a folder, not a file</source>
        <translation>它是文件夹，不是文件</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>它不是普通文件</translation>
    </message>
    <message>
        <source>it is larger than %1 bytes</source>
        <translation>它超过 %1 字节</translation>
    </message>
    <message>
        <source>%1: %2 &quot;%3&quot; is too large: at most 32 characters and a number of volts a meter shows</source>
        <translation>%1：%2“%3”太大：最多 32 个字符，且须是电表能显示的伏特数</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not %3</source>
        <translation>%1：“%2”不是%3</translation>
    </message>
    <message>
        <source>a byte: 00 to FF in hexadecimal</source>
        <translation>一个字节：十六进制 00 到 FF</translation>
    </message>
    <message>
        <source>--expect B1 B2 B3 B4</source>
        <translation>--expect B1 B2 B3 B4</translation>
    </message>
    <message>
        <source>a divider: 2 to 65536 in decimal</source>
        <translation>分频因子：十进制 2 到 65536</translation>
    </message>
    <message>
        <source>a DA code: 0 to FFF in hexadecimal</source>
        <translation>DA 代码：十六进制 0 到 FFF</translation>
    </message>
    <message>
        <source>a DA channel: 0 to 3</source>
        <translation>DA 通道：0 到 3</translation>
    </message>
    <message>
        <source>a range LOW:HIGH in volts, two different numbers such as 0:10</source>
        <translation>以伏特为单位的量程 LOW:HIGH，两个不同的数，例如 0:10</translation>
    </message>
    <message>
        <source>a number of points: 2 to 4096</source>
        <translation>点数：2 到 4096</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a command; the commands are %2</source>
        <translation>“%1”不是命令；命令有 %2</translation>
    </message>
    <message>
        <source>list the cards: number, PCI address, ids, BAR, base</source>
        <translation>列出板卡：卡号、PCI 地址、ID、BAR、基地址</translation>
    </message>
    <message>
        <source>write output groups 1 to 4 (hex 00 to FF)</source>
        <translation>写开关量输出第 1 到 4 组（十六进制 00 到 FF）</translation>
    </message>
    <message>
        <source>read input groups 1 to 4; with --expect, name every bit that differs</source>
        <translation>读开关量输入第 1 到 4 组；给出 --expect 时列出每个不同的位</translation>
    </message>
    <message>
        <source>start the clocks: base 2 MHz / K, outputs base / N (2 to 65536; the window&apos;s boxes write 65536 as 0)</source>
        <translation>启动时钟：基频 = 2 MHz / K，各输出 = 基频 / N（2 到 65536；窗口的文本框把 65536 写作 0）</translation>
    </message>
    <message>
        <source>set the DA codes of DA0 to DA3 (hex 0 to FFF)</source>
        <translation>设置 DA0 到 DA3 的代码（十六进制 0 到 FFF）</translation>
    </message>
    <message>
        <source>read commands from standard input, one a line</source>
        <translation>从标准输入逐行读取命令</translation>
    </message>
    <message>
        <source>the same as --self-test</source>
        <translation>与 --self-test 相同</translation>
    </message>
    <message>
        <source>a limit in LSB, a positive number, or offset=L,gain=L,inl=L,dnl=L</source>
        <translation>以 LSB 为单位的限值，一个正数，或 offset=L,gain=L,inl=L,dnl=L</translation>
    </message>
    <message>
        <source>da-check: give --readings FILE or --meter METER, once</source>
        <translation>da-check：--readings FILE 或 --meter METER 只能给一次</translation>
    </message>
    <message>
        <source>a list of DA codes, hex 0 to FFF, separated by commas, such as 100,7FE,801</source>
        <translation>用逗号分隔的 DA 代码列表，十六进制 0 到 FFF，例如 100,7FE,801</translation>
    </message>
    <message>
        <source>fsr (one LSB is the full-scale range / 4096) or fs (code FFF&apos;s output less code 0&apos;s, / 4095)</source>
        <translation>fsr（1 LSB = 满量程范围 / 4096）或 fs（代码 FFF 的输出减去代码 0 的输出，再 / 4095）</translation>
    </message>
    <message>
        <source>end-point (the line through the readings at 0 and FFF) or best (the least-squares line)</source>
        <translation>end-point（通过代码 0 和 FFF 读数的直线）或 best（最小二乘直线）</translation>
    </message>
    <message>
        <source>one limit in LSB for all, or offset=L,gain=L,inl=L,dnl=L, each figure once</source>
        <translation>一个对所有指标都适用的 LSB 限值，或 offset=L,gain=L,inl=L,dnl=L，每个指标只能给一次</translation>
    </message>
    <message>
        <source>a number of readings per code: 1 to 100</source>
        <translation>每个代码的读数次数：1 到 100</translation>
    </message>
    <message>
        <source>milliseconds to wait: 0 to 60000</source>
        <translation>等待的毫秒数：0 到 60000</translation>
    </message>
    <message>
        <source>a meter: sim (the simulated card), command:CMD (a program that prints a reading) or sigrok:DRIVER[:KEY=VALUE]... (qm5083-bench meters lists the drivers)</source>
        <translation>电表：sim（仿真板卡）、command:CMD（输出读数的程序）或 sigrok:DRIVER[:KEY=VALUE]...（qm5083-bench meters 列出驱动）</translation>
    </message>
    <message>
        <source>a file whose name ends in .svg or .png</source>
        <translation>文件名以 .svg 或 .png 结尾的文件</translation>
    </message>
    <message>
        <source>a da-check option (qm5083-bench da-check --help lists them)</source>
        <translation>da-check 的选项（qm5083-bench da-check --help 会列出）</translation>
    </message>
    <message>
        <source>da-check: %1 is given twice</source>
        <translation>da-check：%1 给出了两次</translation>
    </message>
    <message>
        <source>da-check: give --points N, --codes LIST or --all, one of them</source>
        <translation>da-check：--points N、--codes LIST 和 --all 只能给出其中一个</translation>
    </message>
    <message>
        <source>check one DA channel against a meter (its options: qm5083-bench da-check --help)</source>
        <translation>用电表检查一个 DA 通道（其选项：qm5083-bench da-check --help）</translation>
    </message>
    <message>
        <source>seconds one reading may take: 1 to 600</source>
        <translation>一次读数最多可用的秒数：1 至 600</translation>
    </message>
    <message>
        <source>list the meters the DA check can read: sim, command:CMD and each libsigrok multimeter driver</source>
        <translation>列出 DA 检查可读取的仪表：sim、command:CMD 以及 libsigrok 的每个万用表驱动</translation>
    </message>
    <message>
        <source>simulated card %1: %2-%3</source>
        <translation>仿真板卡 %1：%2-%3</translation>
    </message>
    <message>
        <source>the simulated card %1&apos;s state %2 is refused: %3; qm5083-bench --sim-reset starts the simulated cards afresh</source>
        <translation>仿真板卡 %1 的状态文件 %2 被拒绝：%3；运行 qm5083-bench --sim-reset 可让仿真板卡重新开始</translation>
    </message>
    <message>
        <source>it is a link</source>
        <translation>它是链接</translation>
    </message>
    <message>
        <source>cannot open the simulated card %1&apos;s state %2</source>
        <translation>无法打开仿真板卡 %1 的状态文件 %2</translation>
    </message>
    <message>
        <source>it is not this user&apos;s own file (owner %1, mode %2; it must be owned by %3, mode 600)</source>
        <translation>它不是当前用户自己的文件（属主 %1，权限 %2；必须属于 %3，权限 600）</translation>
    </message>
    <message>
        <source>cannot read the simulated card %1&apos;s state %2</source>
        <translation>无法读取仿真板卡 %1 的状态文件 %2</translation>
    </message>
    <message>
        <source>the simulated card %1&apos;s state could not be written to %2, so what the last operation did to the card is lost</source>
        <translation>仿真板卡 %1 的状态无法写入 %2，因此上一次操作对该板卡所做的改变已丢失</translation>
    </message>
    <message>
        <source>it is not a register of the simulated cards (%1); check the base address</source>
        <translation>它不是仿真板卡的寄存器（%1）；请检查基地址</translation>
    </message>
    <message>
        <source>%1FAULT (the fault on simulated card K, 1 to %2; card 1 without %1)</source>
        <translation>%1FAULT（K 号仿真板卡上的故障，K 为 1 到 %2；不写 %1 时为 1 号板卡）</translation>
    </message>
    <message>
        <source>--sim-fault &quot;%1&quot; is on simulated card %2, which is not simulated: give --simulate %2 or more</source>
        <translation>--sim-fault “%1”位于 %2 号仿真板卡，但没有仿真该板卡：请给出 --simulate %2 或更大的数</translation>
    </message>
    <message>
        <source>the simulated cards&apos; folder %1 is refused: %2; remove it, and the program makes it afresh as this user&apos;s own</source>
        <translation>仿真板卡的文件夹 %1 被拒绝：%2；请删除它，程序会重新创建一个属于当前用户的文件夹</translation>
    </message>
    <message>
        <source>cannot make or open the simulated cards&apos; folder %1</source>
        <translation>无法创建或打开仿真板卡的文件夹 %1</translation>
    </message>
    <message>
        <source>it is not a folder</source>
        <translation>它不是文件夹</translation>
    </message>
    <message>
        <source>it is not this user&apos;s own folder (owner %1, mode %2; it must be owned by %3, mode 700)</source>
        <translation>它不是当前用户自己的文件夹（属主 %1，权限 %2；必须属于 %3，权限 700）</translation>
    </message>
    <message>
        <source>cannot remove the simulated card %1&apos;s state %2</source>
        <translation>无法删除仿真板卡 %1 的状态文件 %2</translation>
    </message>
    <message>
        <source>it holds %1 bytes, not %2</source>
        <translation>它有 %1 字节，而不是 %2 字节</translation>
    </message>
    <message>
        <source>it is no state this program kept</source>
        <translation>它不是本程序保存的状态</translation>
    </message>
    <message>
        <source>it is of version %1, not %2</source>
        <translation>它的版本是 %1，而不是 %2</translation>
    </message>
    <message>
        <source>its checksum does not match its contents</source>
        <translation>它的校验和与内容不符</translation>
    </message>
    <message>
        <source>it holds a value out of its range at byte %1</source>
        <translation>它在第 %1 字节处有一个超出范围的值</translation>
    </message>
    <message>
        <source>a question: status, sync, history, yield, pareto or export</source>
        <translation>一个问题：status、sync、history、yield、pareto 或 export</translation>
    </message>
    <message>
        <source>a serial number: 1 to 256 bytes, no control character</source>
        <translation>序列号：1 到 256 字节，不含控制字符</translation>
    </message>
    <message>
        <source>%1: %2 is given twice; give it once</source>
        <translation>%1：%2 给出了两次；只能给一次</translation>
    </message>
    <message>
        <source>a day, YYYY-MM-DD, or a time, YYYY-MM-DDTHH:MM[:SS] with an optional zone (Z, +08:00)</source>
        <translation>日期 YYYY-MM-DD，或时间 YYYY-MM-DDTHH:MM[:SS]，可带时区（Z、+08:00）</translation>
    </message>
    <message>
        <source>day, station, operator or check</source>
        <translation>day、station、operator 或 check</translation>
    </message>
    <message>
        <source>a file named .svg or .png</source>
        <translation>以 .svg 或 .png 结尾的文件</translation>
    </message>
    <message>
        <source>results export: give --csv or --json, one of them</source>
        <translation>results export：--csv 和 --json 只能给出其中一个</translation>
    </message>
    <message>
        <source>an option of this question (qm5083-bench --help lists them)</source>
        <translation>此问题的选项（qm5083-bench --help 会列出）</translation>
    </message>
    <message>
        <source>results export needs --csv or --json</source>
        <translation>results export 需要 --csv 或 --json</translation>
    </message>
    <message>
        <source>ask the results database: what is queued for the line&apos;s database, send it, a card&apos;s history, the first-pass and final yield, the problems&apos; Pareto, every result</source>
        <translation>查询结果数据库：等待发送到产线数据库的结果、发送它们、一块板卡的历史、一次通过率和最终合格率、问题的帕累托图、全部结果</translation>
    </message>
    <message>
        <source>BAR %1 is switched off by the kernel</source>
        <translation>BAR %1 已被内核停用</translation>
    </message>
    <message>
        <source>the card set-up %1 is not used: %2; the udev helper gives the group no card from it either. Make it and its folder root&apos;s and writable by root alone (sudo chown root: FILE; sudo chmod go-w FILE), or set the cards up again with sudo qm5083-bench --setup</source>
        <translation>板卡设置 %1 未被使用：%2；udev 辅助程序也不会据此把任何板卡开放给该组。请让它及其所在文件夹属于 root 且只有 root 可写（sudo chown root: FILE；sudo chmod go-w FILE），或用 sudo qm5083-bench --setup 重新设置板卡</translation>
    </message>
    <message>
        <source>its folder %1 belongs to uid %2, neither root nor this user</source>
        <translation>它所在的文件夹 %1 属于 uid %2，既不是 root 也不是当前用户</translation>
    </message>
    <message>
        <source>it belongs to uid %1, neither root nor this user</source>
        <translation>它属于 uid %1，既不是 root 也不是当前用户</translation>
    </message>
    <message>
        <source>group or others may change its folder %1 (mode %2)</source>
        <translation>组或其他用户可以修改它所在的文件夹 %1（权限 %2）</translation>
    </message>
    <message>
        <source>group or others may change it (mode %1)</source>
        <translation>组或其他用户可以修改它（权限 %1）</translation>
    </message>
    <message>
        <source>a text of at most 200 bytes of UTF-8 on one line, with no control character</source>
        <translation>一行最多 200 字节的 UTF-8 文本，且不含控制字符</translation>
    </message>
</context>
<context>
    <name>qm5083::commands</name>
    <message>
        <source>Write every port access to standard error: seconds since start, in or out, port, byte.</source>
        <translation>把每次端口访问写到标准错误输出：启动后的秒数、in 或 out、端口、字节。</translation>
    </message>
    <message>
        <source>Print every control of the window with its position and size in pixels, one a line, and end without showing the window.</source>
        <translation>逐行打印窗口中每个控件的位置和大小（像素），然后结束，不显示窗口。</translation>
    </message>
    <message>
        <source>Write the self-test&apos;s result to FILE as JSON.</source>
        <translation>把自检结果以 JSON 格式写入 FILE。</translation>
    </message>
    <message>
        <source>With --simulate, give the simulated card a fault, one of: %1. Repeatable.</source>
        <translation>与 --simulate 一起使用，给仿真板卡设置一种故障：%1。可重复给出。</translation>
    </message>
    <message>
        <source>cannot open the session record %1 for appending: %2</source>
        <translation>无法以追加方式打开操作记录文件 %1：%2</translation>
    </message>
    <message>
        <source>there is no card %1</source>
        <translation>没有 %1 号板卡</translation>
    </message>
    <message>
        <source>card %1, simulated, base %2</source>
        <translation>%1 号卡，仿真，基地址 %2</translation>
    </message>
    <message>
        <source>card %1, %2 (%3), base %4</source>
        <translation>%1 号卡，%2（%3），基地址 %4</translation>
    </message>
    <message>
        <source>counter %1 reads back status bits %2, not the %3 written</source>
        <translation>计数器 %1 回读的状态位为 %2，而不是写入的 %3</translation>
    </message>
    <message>
        <source>counter %1 holds %2, outside the count loaded (1 to %3)</source>
        <translation>计数器 %1 的计数为 %2，超出装入的计数范围（1 到 %3）</translation>
    </message>
    <message>
        <source>counter %1 does not count (it stays at %2)</source>
        <translation>计数器 %1 不计数（停在 %2）</translation>
    </message>
    <message>
        <source>digital loopback, group %1</source>
        <translation>开关量回环，第 %1 组</translation>
    </message>
    <message>
        <source>bit %1 wrote %2, read %3 (group wrote %4, read %5)</source>
        <translation>位 %1 写入 %2，读回 %3（该组写入 %4，读回 %5）</translation>
    </message>
    <message>
        <source>counter chip %1</source>
        <translation>计数器芯片 %1</translation>
    </message>
    <message>
        <source>its ports read FF</source>
        <translation>其端口读回 FF</translation>
    </message>
    <message>
        <source>The card is left with outputs 00, DA codes 0 and the clock outputs at k %1, n %2.</source>
        <translation>板卡保持为：开关量输出 00，DA 代码 0，时钟输出 k %1、n %2。</translation>
    </message>
    <message>
        <source>the self-test cannot run: %1</source>
        <translation>无法进行自检：%1</translation>
    </message>
    <message>
        <source>The card a command or the self-test works on (default 1).</source>
        <translation>命令或自检所用的板卡（默认 1）。</translation>
    </message>
    <message>
        <source>The tested card&apos;s serial number, for the self-test&apos;s report.</source>
        <translation>被测板卡的序列号，写入自检报告。</translation>
    </message>
    <message>
        <source>Who tests, for the self-test&apos;s report.</source>
        <translation>测试人员，写入自检报告。</translation>
    </message>
    <message>
        <source>The test station, for the self-test&apos;s report.</source>
        <translation>测试工位，写入自检报告。</translation>
    </message>
    <message>
        <source>Leave a part of the self-test out: loopback (without the loopback cable), counters or da. Repeatable.</source>
        <translation>跳过自检的一部分：loopback（没有回环线缆时）、counters 或 da。可重复给出。</translation>
    </message>
    <message>
        <source>Answer each command with one JSON object instead of a line of text.</source>
        <translation>每个命令的回答为一个 JSON 对象，而不是一行文本。</translation>
    </message>
    <message>
        <source>Append a line to FILE for every operation of the window or command: the time, the operation, the box texts it read, every port access and its result.</source>
        <translation>窗口或命令的每个操作在 FILE 末尾追加一行：时间、操作、读取的文本框内容、每次端口访问及其结果。</translation>
    </message>
    <message>
        <source>--%1 is for the self-test: give --self-test too</source>
        <translation>--%1 用于自检：请同时给出 --self-test</translation>
    </message>
    <message>
        <source>the readings file %1 cannot be read: %2</source>
        <translation>无法读取读数文件 %1：%2</translation>
    </message>
    <message>
        <source>--meter sim reads the simulated card&apos;s DA output: give --simulate</source>
        <translation>--meter sim 读取仿真板卡的 DA 输出：请同时给出 --simulate</translation>
    </message>
    <message>
        <source>The command stopped</source>
        <translation>命令已停止</translation>
    </message>
    <message>
        <source>da-check ran, but its report %1 was not written: %2</source>
        <translation>da-check 已运行，但其报告 %1 没有写入：%2</translation>
    </message>
    <message>
        <source>%1 is not for a batch; run it on its own</source>
        <translation>%1 不能用在 batch 中；请单独运行</translation>
    </message>
    <message>
        <source>no clock reached counter %1 (its count was never loaded)</source>
        <translation>计数器 %1 没有收到时钟（计数值从未装入）</translation>
    </message>
    <message>
        <source>counter %1: counting not checked, its clock input is not known</source>
        <translation>计数器 %1：未检查计数，其时钟输入未知</translation>
    </message>
    <message>
        <source>counting not checked: no base clock, as chip A is absent</source>
        <translation>未检查计数：芯片 A 不存在，没有基频时钟</translation>
    </message>
    <message>
        <source>the report %1 cannot be written: %2; the self-test did not run</source>
        <translation>报告 %1 无法写入：%2；未进行自检</translation>
    </message>
    <message>
        <source>the self-test ran, but its report %1 was not written: %2</source>
        <translation>自检已进行，但其报告 %1 没有写入：%2</translation>
    </message>
    <message>
        <source>its report %1 was not written either: %2</source>
        <translation>其报告 %1 也没有写入：%2</translation>
    </message>
    <message>
        <source>Read the card ids from FILE when no --pci-id is given (default %1).</source>
        <translation>没有给出 --pci-id 时从 FILE 读取板卡 ID（默认 %1）。</translation>
    </message>
    <message>
        <source>card %1</source>
        <translation>%1 号板卡</translation>
    </message>
    <message>
        <source>%1: I/O decoding is on</source>
        <translation>%1：I/O 译码已打开</translation>
    </message>
    <message>
        <source>%1: I/O decoding is off, so no port reaches it: load the card&apos;s driver, or sudo setpci -s %2 COMMAND=0001:0001</source>
        <translation>%1：I/O 译码已关闭，任何端口都访问不到它：请加载板卡驱动，或执行 sudo setpci -s %2 COMMAND=0001:0001</translation>
    </message>
    <message>
        <source>%1: its I/O decoding cannot be read; the ports will tell</source>
        <translation>%1：无法读取其 I/O 译码状态；访问端口时可知</translation>
    </message>
    <message>
        <source>%1: its region file %2 is missing</source>
        <translation>%1：其区域文件 %2 不存在</translation>
    </message>
    <message>
        <source>%1: %2 is group %3, %4</source>
        <translation>%1：%2 属于组 %3，%4</translation>
    </message>
    <message>
        <source>%1: %2 is group %3, %4, not open to group %5: the udev rule has not reached it; run the set-up again (sudo qm5083-bench --setup ...)</source>
        <translation>%1：%2 属于组 %3，%4，组 %5 无法访问：udev 规则没有作用于它；请重新设置（sudo qm5083-bench --setup ...）</translation>
    </message>
    <message>
        <source>%1: %2 can open it</source>
        <translation>%1：%2 可以打开它</translation>
    </message>
    <message>
        <source>%1: %2 is in group %3 but has not logged in again since: log out and in</source>
        <translation>%1：%2 已在组 %3 中，但之后还没有重新登录：请注销后重新登录</translation>
    </message>
    <message>
        <source>%1: %2 is not in group %3: sudo usermod -aG %3 %2, then log in again</source>
        <translation>%1：%2 不在组 %3 中：请执行 sudo usermod -aG %3 %2，然后重新登录</translation>
    </message>
    <message>
        <source>%1: %2 cannot open it</source>
        <translation>%1：%2 无法打开它</translation>
    </message>
    <message>
        <source>kernel lockdown: this kernel has none</source>
        <translation>内核锁定：本内核没有锁定功能</translation>
    </message>
    <message>
        <source>kernel lockdown: none</source>
        <translation>内核锁定：无</translation>
    </message>
    <message>
        <source>kernel lockdown is %1: port writes are refused; boot with Secure Boot off and no lockdown= parameter</source>
        <translation>内核锁定为 %1：端口写操作被拒绝；请关闭安全启动（Secure Boot）并去掉 lockdown= 参数后启动</translation>
    </message>
    <message>
        <source>cards named with --pci-id: %1</source>
        <translation>用 --pci-id 给出的板卡：%1</translation>
    </message>
    <message>
        <source>no card set-up %1: run sudo qm5083-bench --setup VVVV:DDDD once, with the ids lspci -nn shows for the card</source>
        <translation>没有板卡设置 %1：请执行一次 sudo qm5083-bench --setup VVVV:DDDD，ID 与 lspci -nn 为该板卡显示的一致</translation>
    </message>
    <message>
        <source>the card set-up %1 names no card: run sudo qm5083-bench --setup VVVV:DDDD</source>
        <translation>板卡设置 %1 没有列出板卡：请执行 sudo qm5083-bench --setup VVVV:DDDD</translation>
    </message>
    <message>
        <source>card set-up %1: %2</source>
        <translation>板卡设置 %1：%2</translation>
    </message>
    <message>
        <source>the set-up check cannot run: %1</source>
        <translation>无法进行设置检查：%1</translation>
    </message>
    <message>
        <source>no card %1 on the PCI bus: check with lspci -nn that the card is in the PC and that these are its ids</source>
        <translation>PCI 总线上没有 %1 板卡；请用 lspci -nn 检查板卡是否已插入本机、ID 是否正确</translation>
    </message>
    <message>
        <source>--setup changes the system: run it with sudo, as sudo qm5083-bench --setup %1</source>
        <translation>--setup 会修改系统：请用 sudo 执行：sudo qm5083-bench --setup %1</translation>
    </message>
    <message>
        <source>The card set-up %1 already names %2.</source>
        <translation>板卡设置 %1 已列出 %2。</translation>
    </message>
    <message>
        <source>Wrote %1: %2 (the old one is kept as %1.old).</source>
        <translation>已写入 %1：%2（旧文件保存为 %1.old）。</translation>
    </message>
    <message>
        <source>Wrote %1: %2.</source>
        <translation>已写入 %1：%2。</translation>
    </message>
    <message>
        <source>Group %1 exists.</source>
        <translation>组 %1 已存在。</translation>
    </message>
    <message>
        <source>Created group %1.</source>
        <translation>已创建组 %1。</translation>
    </message>
    <message>
        <source>group %1 could not be created (groupadd failed)</source>
        <translation>无法创建组 %1（groupadd 失败）</translation>
    </message>
    <message>
        <source>No user to add: run the set-up with sudo from the technician&apos;s account, or add each user with sudo usermod -aG %1 USER.</source>
        <translation>没有要加入的用户：请从技术人员的账户用 sudo 执行设置，或用 sudo usermod -aG %1 用户名 逐个加入用户。</translation>
    </message>
    <message>
        <source>%1 is in group %2.</source>
        <translation>%1 已在组 %2 中。</translation>
    </message>
    <message>
        <source>Added %1 to group %2.</source>
        <translation>已把 %1 加入组 %2。</translation>
    </message>
    <message>
        <source>%1 could not be added to group %2 (usermod failed)</source>
        <translation>无法把 %1 加入组 %2（usermod 失败）</translation>
    </message>
    <message>
        <source>The udev rules could not all be applied (udevadm failed): the cards&apos; files open to group %1 once the PC starts again.</source>
        <translation>udev 规则未能全部生效（udevadm 失败）：重新启动计算机后，组 %1 即可访问板卡的文件。</translation>
    </message>
    <message>
        <source>No card %1 is in this PC now.</source>
        <translation>本机现在没有 %1 板卡。</translation>
    </message>
    <message>
        <source>Card %1: %2, BAR %3, base %4.</source>
        <translation>%1 号板卡：%2，BAR %3，基地址 %4。</translation>
    </message>
    <message>
        <source>Next: %1 logs out and in again, then starts qm5083-bench from the menu; qm5083-bench --check-setup tells whether all is ready.</source>
        <translation>下一步：%1 注销后重新登录，然后从菜单启动 qm5083-bench；qm5083-bench --check-setup 可检查是否一切就绪。</translation>
    </message>
    <message>
        <source>Next: start qm5083-bench from the menu; qm5083-bench --check-setup tells whether all is ready.</source>
        <translation>下一步：从菜单启动 qm5083-bench；qm5083-bench --check-setup 可检查是否一切就绪。</translation>
    </message>
    <message>
        <source>it is not a regular file; a program that reads the meter pipes the readings to standard input instead</source>
        <translation>它不是普通文件；由程序读取电表时，请把读数通过管道送到标准输入</translation>
    </message>
    <message>
        <source>it is larger than %1 bytes</source>
        <translation>它超过 %1 字节</translation>
    </message>
    <message>
        <source>line %1 is longer than %2 bytes: &quot;%3&quot;</source>
        <translation>第 %1 行超过 %2 字节：“%3”</translation>
    </message>
    <message>
        <source>line %1 holds the control character %2: &quot;%3&quot;</source>
        <translation>第 %1 行含有控制字符 %2：“%3”</translation>
    </message>
    <message>
        <source>subsystem %1</source>
        <translation>子系统 %1</translation>
    </message>
    <message>
        <source>%1: %2 cannot be used: %3; choose its I/O BAR with --pci-id %4:&lt;BAR&gt; or in the card set-up</source>
        <translation>%1：%2 无法使用：%3；请用 --pci-id %4:&lt;BAR&gt; 或在板卡设置中选择它的 I/O BAR</translation>
    </message>
    <message>
        <source>%1: %2, BAR %3, base %4</source>
        <translation>%1：%2，BAR %3，基地址 %4</translation>
    </message>
    <message>
        <source>%1, where the old one would be kept: %2</source>
        <translation>%1（旧设置本应保存在此）：%2</translation>
    </message>
    <message>
        <source>%1 has the ids %2 but the subsystem ids %3, not %4: another board on the same chip; it is not listed and stays closed</source>
        <translation>%1 的 ID 为 %2，但子系统 ID 是 %3 而不是 %4：这是用同一芯片的另一种板卡；它未被列出，保持关闭</translation>
    </message>
    <message>
        <source>%1 has the ids %2 but the subsystem ids %3, not %4 as %5: another board on the same chip, which this line names too; name the card with %2/SSSS:TTTT (lspci -nnv -s ADDRESS shows them)</source>
        <translation>%1 的 ID 为 %2，但子系统 ID 是 %3，而不是与 %5 相同的 %4：这是用同一芯片的另一种板卡，这一行也把它包括在内；请用 %2/SSSS:TTTT 指定板卡（lspci -nnv -s 地址 可显示子系统 ID）</translation>
    </message>
    <message>
        <source>nothing was set up: %1</source>
        <translation>没有进行任何设置：%1</translation>
    </message>
    <message>
        <source>nothing was set up: %1 cannot be used: %2; name its I/O BAR, as VVVV:DDDD:BAR (lspci -vv -s %3 lists its regions; I/O BARs show &quot;I/O ports&quot;)</source>
        <translation>没有进行任何设置：%1 无法使用：%2；请给出它的 I/O BAR，如 VVVV:DDDD:BAR（lspci -vv -s %3 会列出其各个 Region，I/O BAR 显示为“I/O ports”）</translation>
    </message>
    <message>
        <source>the card set-up %1 was not written: %2; nothing was set up</source>
        <translation>板卡设置 %1 未写入：%2；没有进行任何设置</translation>
    </message>
    <message>
        <source>Reloaded the udev rules and applied them to every PCI device: the cards listed are open to group %1, and no other device is.</source>
        <translation>已重新加载 udev 规则并应用到每个 PCI 设备：列出的板卡已开放给组 %1，其他设备都没有开放。</translation>
    </message>
    <message>
        <source>Note: %1.</source>
        <translation>注意：%1。</translation>
    </message>
    <message>
        <source>--%1 is for a card&apos;s operations</source>
        <translation>--%1 用于板卡的操作</translation>
    </message>
    <message>
        <source>A real card&apos;s PCI vendor and device id in hex, as lspci -nn shows them, optionally the index of its I/O BAR (default: its first I/O BAR) and the subsystem ids that narrow it to one board, as lspci -nnv shows them. Overrides the card set-up. Repeatable; the cards found are numbered 1, 2, ... in PCI address order.</source>
        <translation>真实板卡的 PCI 厂商 ID 和设备 ID（十六进制，与 lspci -nn 显示的一致），可选地加上其 I/O BAR 的序号（默认：第一个 I/O BAR）以及限定到某一种板卡的子系统 ID（与 lspci -nnv 显示的一致）。优先于板卡设置。可重复给出；找到的板卡按 PCI 地址顺序编号为 1、2、……</translation>
    </message>
    <message>
        <source>--%1 is for a command or the self-test; the window asks for the card number in its 卡号 box</source>
        <translation>--%1 用于命令或自检；窗口在其“卡号”框中询问卡号</translation>
    </message>
    <message>
        <source>--%1 is for the window, a command or the self-test</source>
        <translation>--%1 用于窗口、命令或自检</translation>
    </message>
    <message>
        <source>--%1 is for a command or the self-test</source>
        <translation>--%1 用于命令或自检</translation>
    </message>
    <message>
        <source>--%1 is for the window: give no command</source>
        <translation>--%1 用于窗口：请不要给出命令</translation>
    </message>
    <message>
        <source>As root (sudo qm5083-bench --setup VVVV:DDDD[:BAR][/SSSS:TTTT]...), once: keep the cards&apos; ids in the card set-up, create group qm5083, add the user who ran sudo to it and give the group the cards&apos; ports. Exit status 0 when every step was done, 1 when one failed, 2 when nothing could be.</source>
        <translation>以 root 身份执行一次（sudo qm5083-bench --setup VVVV:DDDD[:BAR][/SSSS:TTTT]...）：把板卡 ID 存入板卡设置，创建 qm5083 组，把执行 sudo 的用户加入该组，并让该组可以访问板卡的端口。每一步都完成时退出状态为 0，有一步失败时为 1，什么也做不了时为 2。</translation>
    </message>
    <message>
        <source>Check, line by line, that this user can reach card 1: the card set-up, the cards, their files and the kernel. Exit status 0 when card 1 can be used, 1 when not, 2 when the check cannot run.</source>
        <translation>逐行检查本用户能否访问 1 号板卡：板卡设置、板卡、其文件以及内核。1 号板卡可用时退出状态为 0，不可用时为 1，无法检查时为 2。</translation>
    </message>
    <message>
        <source>Commands, each one operation on the card (--card N, default 1), with strict arguments:</source>
        <translation>命令（每个是对板卡的一个操作，--card N，默认 1），参数须严格符合格式：</translation>
    </message>
    <message>
        <source>offset</source>
        <translation>失调</translation>
    </message>
    <message>
        <source>gain</source>
        <translation>增益</translation>
    </message>
    <message>
        <source>inl</source>
        <translation>积分非线性</translation>
    </message>
    <message>
        <source>monotonicity</source>
        <translation>单调性</translation>
    </message>
    <message>
        <source>offset: %1 V = %2 LSB</source>
        <translation>失调：%1 V = %2 LSB</translation>
    </message>
    <message>
        <source>gain: %1 V = %2 LSB (%3 %)</source>
        <translation>增益：%1 V = %2 LSB（%3 %）</translation>
    </message>
    <message>
        <source>simulated</source>
        <translation>仿真</translation>
    </message>
    <message>
        <source>no card was found</source>
        <translation>没有找到板卡</translation>
    </message>
    <message>
        <source>group %1 bit %2 expected %3 read %4</source>
        <translation>第 %1 组第 %2 位应为 %3，读到 %4</translation>
    </message>
    <message>
        <source>as expected</source>
        <translation>与预期一致</translation>
    </message>
    <message>
        <source>differs: %1</source>
        <translation>不一致：%1</translation>
    </message>
    <message>
        <source>base %1 Hz, outputs %2 Hz</source>
        <translation>基频 %1 Hz，输出 %2 Hz</translation>
    </message>
    <message>
        <source>error: %1</source>
        <translation>错误：%1</translation>
    </message>
    <message>
        <source>PASS   %1</source>
        <translation>通过   %1</translation>
    </message>
    <message>
        <source>FAIL   %1: %2</source>
        <translation>失败   %1：%2</translation>
    </message>
    <message>
        <source>ABSENT %1: %2</source>
        <translation>缺失   %1：%2</translation>
    </message>
    <message>
        <source>PASS   %1%2</source>
        <translation>通过   %1%2</translation>
    </message>
    <message>
        <source>FAIL   %1: %2%3</source>
        <translation>失败   %1：%2%3</translation>
    </message>
    <message>
        <source>CHECK  DA%1: %2</source>
        <translation>待测   DA%1：%2</translation>
    </message>
    <message>
        <source>The self-test stopped</source>
        <translation>自检已停止</translation>
    </message>
    <message>
        <source>the self-test ended by %1 after %2 checks; the card is left with outputs 00, DA codes 0 and the clock outputs at k %3, n %4</source>
        <translation>自检在 %2 项检查后被 %1 结束；板卡保持输出 00、DA 代码 0，时钟输出为 k %3、n %4</translation>
    </message>
    <message>
        <source>Next: put the card in the PC (lspci -nn shows it with these ids); qm5083-bench --check-setup then tells whether all is ready.</source>
        <translation>下一步：把板卡插入本机（lspci -nn 会显示它及这些 ID）；然后 qm5083-bench --check-setup 可检查是否一切就绪。</translation>
    </message>
    <message>
        <source>Bench test program for the qm5083 PCI I/O card: digital outputs and inputs, square-wave clocks on its 8254 counters, DA codes.
A real card&apos;s ids come from --pci-id or from the card set-up that sudo qm5083-bench --setup writes once; --simulate works on the simulated card instead.</source>
        <translation>qm5083 PCI 输入输出板卡的测试程序：开关量输出和输入、8254 计数器的方波时钟、DA 码。
真实板卡的 ID 来自 --pci-id，或来自 sudo qm5083-bench --setup 一次写好的板卡设置；--simulate 改用仿真板卡。</translation>
    </message>
    <message>
        <source>Without a command the window opens; the commands follow.</source>
        <translation>不给命令时打开窗口；命令见下。</translation>
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
        <source>--%1 is given %2 times; give it once</source>
        <translation>--%1 给出了 %2 次；只能给一次</translation>
    </message>
    <message>
        <source>--setup is given on its own, with the cards&apos; ids</source>
        <translation>--setup 须单独给出，只带板卡 ID</translation>
    </message>
    <message>
        <source>--check-setup is given on its own (with --pci-id or --config at most)</source>
        <translation>--check-setup 须单独给出（最多带 --pci-id 或 --config）</translation>
    </message>
    <message>
        <source>&quot;%1&quot; follows --self-test, which takes no command</source>
        <translation>“%1”跟在 --self-test 之后，而 --self-test 不带命令</translation>
    </message>
    <message>
        <source>--sim-fault gives the simulated card a fault: give --simulate too</source>
        <translation>--sim-fault 用于给仿真板卡设置故障：请同时给出 --simulate</translation>
    </message>
    <message>
        <source>--card &quot;%1&quot; is not a card number from 1 to 32767</source>
        <translation>--card “%1”不是 1 到 32767 之间的卡号</translation>
    </message>
    <message>
        <source>--skip &quot;%1&quot; is not a part of the self-test: loopback, counters or da</source>
        <translation>--skip “%1”不是自检的一部分：loopback、counters 或 da</translation>
    </message>
    <message>
        <source>--setup needs the cards&apos; ids: sudo qm5083-bench --setup VVVV:DDDD, as lspci -nn shows them</source>
        <translation>--setup 需要板卡 ID：sudo qm5083-bench --setup VVVV:DDDD，与 lspci -nn 显示的一致</translation>
    </message>
    <message>
        <source>--setup %1 and %2 can name the same card; name each card once</source>
        <translation>--setup %1 和 %2 可能指同一块板卡；每块板卡只能给出一次</translation>
    </message>
    <message>
        <source>its folder cannot be written</source>
        <translation>它所在的文件夹不能写入</translation>
    </message>
    <message>
        <source>it cannot be written</source>
        <translation>它不能写入</translation>
    </message>
    <message>
        <source>da-check&apos;s options (the manual page, man qm5083-bench, says what each does):</source>
        <translation>da-check 的选项（手册页 man qm5083-bench 说明了每个选项的作用）：</translation>
    </message>
    <message>
        <source>dnl</source>
        <translation>微分非线性</translation>
    </message>
    <message>
        <source>FSR/4096</source>
        <translation>满量程范围/4096</translation>
    </message>
    <message>
        <source>(FS - ZS)/4095</source>
        <translation>（满度 - 零点）/4095</translation>
    </message>
    <message>
        <source>end-point line</source>
        <translation>端点直线</translation>
    </message>
    <message>
        <source>best-fit line</source>
        <translation>最佳拟合直线</translation>
    </message>
    <message>
        <source>DA%1 on %2 to %3 V: 1 LSB = %4 = %5 mV; figures against the %6, as IEEE Std 1658-2011 defines them</source>
        <translation>DA%1，%2 到 %3 V：1 LSB = %4 = %5 mV；各项指标按 IEEE Std 1658-2011 的定义，相对于%6计算</translation>
    </message>
    <message>
        <source>meter: %1</source>
        <translation>电表：%1</translation>
    </message>
    <message>
        <source>code  ideal V  reading V  error LSB  INL LSB  spread V</source>
        <translation>代码  理想值 V  读数 V  误差 LSB  积分非线性 LSB  离散 V</translation>
    </message>
    <message>
        <source>code  ideal V  reading V  error LSB  INL LSB</source>
        <translation>代码  理想值 V  读数 V  误差 LSB  积分非线性 LSB</translation>
    </message>
    <message>
        <source>zero-code error: %1 V = %2 LSB</source>
        <translation>零码误差：%1 V = %2 LSB</translation>
    </message>
    <message>
        <source>full-scale error: %1 V = %2 LSB</source>
        <translation>满度误差：%1 V = %2 LSB</translation>
    </message>
    <message>
        <source>inl: %1 LSB at code %2</source>
        <translation>积分非线性：%1 LSB，在代码 %2 处</translation>
    </message>
    <message>
        <source>dnl: %1 LSB at %2, over %3 pairs of neighbouring codes: %4</source>
        <translation>微分非线性：%1 LSB，在 %2 处，共 %3 对相邻代码：%4</translation>
    </message>
    <message>
        <source>dnl: no pair of neighbouring codes was visited</source>
        <translation>微分非线性：没有测到相邻代码对</translation>
    </message>
    <message>
        <source>monotonic: yes, no DNL below -1 LSB over %1 pairs</source>
        <translation>单调：是，%1 对相邻代码中没有低于 -1 LSB 的微分非线性</translation>
    </message>
    <message>
        <source>monotonic: no, a DNL below -1 LSB</source>
        <translation>单调：否，有低于 -1 LSB 的微分非线性</translation>
    </message>
    <message>
        <source>%1 within +-%2 LSB</source>
        <translation>%1 在 ±%2 LSB 之内</translation>
    </message>
    <message>
        <source>%1 beyond +-%2 LSB</source>
        <translation>%1 超出 ±%2 LSB</translation>
    </message>
    <message>
        <source>Connect DA%1&apos;s output to the meter. The check visits %2 codes. The DA writes also reload chip B&apos;s counters, so clock outputs 4, 7 and 10 change while the check runs.</source>
        <translation>请把 DA%1 的输出接到电表。检查共测 %2 个代码。DA 写操作也会重新装入芯片 B 的计数器，所以检查期间时钟输出 4、7、10 会改变。</translation>
    </message>
    <message>
        <source>the meter read %1 V at code %2, further outside %3 to %4 V than the range is wide; check the meter&apos;s range and its leads</source>
        <translation>电表在代码 %2 处读到 %1 V，偏离 %3 到 %4 V 的距离超过量程本身的宽度；请检查电表的量程和表笔</translation>
    </message>
    <message>
        <source>da-check ran, but its picture %1 was not drawn: %2</source>
        <translation>da-check 已运行，但其图形 %1 未能绘制：%2</translation>
    </message>
    <message>
        <source>readings typed at the terminal</source>
        <translation>在终端输入的读数</translation>
    </message>
    <message>
        <source>readings from the file %1</source>
        <translation>来自文件 %1 的读数</translation>
    </message>
    <message>
        <source>the simulated card&apos;s output</source>
        <translation>仿真板卡的输出</translation>
    </message>
    <message>
        <source>readings printed by &quot;%1&quot;</source>
        <translation>由“%1”输出的读数</translation>
    </message>
    <message>
        <source>%1 %2, serial %3, through libsigrok&apos;s %4 driver</source>
        <translation>%1 %2，序列号 %3，通过 libsigrok 的 %4 驱动</translation>
    </message>
    <message>
        <source>line %1 of the readings file %2, &quot;%3&quot;, is not a number of volts: it is too long or holds a control character</source>
        <translation>读数文件 %2 的第 %1 行“%3”不是伏特数：它太长或含有控制字符</translation>
    </message>
    <message>
        <source>the readings file %1 has %2 readings; the check takes %3, one a line in the order of its codes</source>
        <translation>读数文件 %1 有 %2 个读数；检查需要 %3 个，按代码顺序每行一个</translation>
    </message>
    <message>
        <source>DA%1 at code %2 (ideal %3 V): the meter&apos;s reading in volts, or q to end: </source>
        <translation>DA%1 代码 %2（理想值 %3 V）：请输入电表读数（伏特），或输入 q 结束：</translation>
    </message>
    <message>
        <source>the check was ended by %1 at code %2; DA%3 is left at code 0</source>
        <translation>检查在代码 %2 处被 %1 结束；DA%3 保持为代码 0</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a number of volts; type the reading, or q to end</source>
        <translation>“%1”不是以伏特为单位的数；请输入读数，或输入 q 结束</translation>
    </message>
    <message>
        <source>could not be started</source>
        <translation>无法启动</translation>
    </message>
    <message>
        <source>failed (exit status %1)</source>
        <translation>失败（退出状态 %1）</translation>
    </message>
    <message>
        <source>printed &quot;%1&quot;, which is no reading of DC volts</source>
        <translation>输出了“%1”，这不是直流电压读数</translation>
    </message>
    <message>
        <source>line %1 of the readings file %2, &quot;%3&quot;, is not a number of volts</source>
        <translation>读数文件 %2 的第 %1 行“%3”不是以伏特为单位的数</translation>
    </message>
    <message>
        <source>the check was ended at code %1; DA%2 is left at code 0</source>
        <translation>检查在代码 %1 处结束；DA%2 已置为代码 0</translation>
    </message>
    <message>
        <source>%1 V lies further outside %2 to %3 V than the range is wide; check the meter&apos;s range and its leads, and type the reading again</source>
        <translation>%1 V 偏离 %2 到 %3 V 的距离超过量程本身的宽度；请检查电表的量程和表笔，然后重新输入读数</translation>
    </message>
    <message>
        <source>the meter command &quot;%1&quot; %2 at code %3</source>
        <translation>电表命令“%1”在代码 %3 处%2</translation>
    </message>
    <message>
        <source>gave no reading within %1 s</source>
        <translation>在 %1 秒内没有给出读数</translation>
    </message>
    <message>
        <source>%1; DA%2 is left at code 0</source>
        <translation>%1；DA%2 保持为代码 0</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 至 %2</translation>
    </message>
    <message>
        <source>libsigrok has no multimeter driver %1; qm5083-bench meters lists those it has</source>
        <translation>libsigrok 没有万用表驱动 %1；qm5083-bench meters 会列出已有的驱动</translation>
    </message>
    <message>
        <source>the driver takes no option %1</source>
        <translation>该驱动没有选项 %1</translation>
    </message>
    <message>
        <source>the driver does not understand %1</source>
        <translation>该驱动不认识 %1</translation>
    </message>
    <message>
        <source>no meter answered; check its connection and the conn= option</source>
        <translation>没有仪表应答；请检查仪表的连接和 conn= 选项</translation>
    </message>
    <message>
        <source>the meter measures %1, not DC voltage; set it to DC volts</source>
        <translation>仪表测量的是%1，而不是直流电压；请把仪表设为直流电压档</translation>
    </message>
    <message>
        <source>the meter reads overload; check its range and its leads</source>
        <translation>仪表读数过载；请检查仪表的量程和表笔</translation>
    </message>
    <message>
        <source>the meter gave no reading</source>
        <translation>仪表没有给出读数</translation>
    </message>
    <message>
        <source>the meter is named wrongly: %1</source>
        <translation>仪表的写法有误：%1</translation>
    </message>
    <message>
        <source>libsigrok refused</source>
        <translation>libsigrok 拒绝了操作</translation>
    </message>
    <message>
        <source>--meter %1 cannot be used: %2</source>
        <translation>无法使用 --meter %1：%2</translation>
    </message>
    <message>
        <source>the meter %1 at code %2: %3</source>
        <translation>仪表 %1 在代码 %2 处：%3</translation>
    </message>
    <message>
        <source>it gave no answer within %1 s</source>
        <translation>它在 %1 秒内没有应答</translation>
    </message>
    <message>
        <source>its reader ended (the meter closed the connection, or libsigrok failed)</source>
        <translation>读取程序已结束（仪表关闭了连接，或 libsigrok 出错）</translation>
    </message>
    <message>
        <source>the libsigrok reader %1 cannot be started; is the package whole?</source>
        <translation>无法启动 libsigrok 读取程序 %1；软件包是否完整？</translation>
    </message>
    <message>
        <source>AC voltage</source>
        <translation>交流电压</translation>
    </message>
    <message>
        <source>DC current</source>
        <translation>直流电流</translation>
    </message>
    <message>
        <source>AC current</source>
        <translation>交流电流</translation>
    </message>
    <message>
        <source>resistance</source>
        <translation>电阻</translation>
    </message>
    <message>
        <source>Work on the simulated cards built into the program instead of the PCI bus: card 1 at base E000, or with --simulate N cards 1 to N (N 1 to 8) at E000, E100, E200... They keep their outputs, DA codes and counters from program to program until the next boot or --sim-reset.</source>
        <translation>使用程序内置的仿真板卡，不访问 PCI 总线：1 号板卡的基地址为 E000；用 --simulate N 时为 1 到 N 号板卡（N 为 1 到 8），基地址依次为 E000、E100、E200……仿真板卡在程序之间保留其输出、DA 码和计数器，直到下次开机或 --sim-reset。</translation>
    </message>
    <message>
        <source>Start the simulated cards afresh, as after a boot: forget the outputs, DA codes and counters they keep, and end.</source>
        <translation>让仿真板卡像开机后一样重新开始：清除它们保留的输出、DA 码和计数器，然后结束。</translation>
    </message>
    <message>
        <source>--%1 is given on its own (with --simulate at most)</source>
        <translation>--%1 须单独给出（最多加上 --simulate）</translation>
    </message>
    <message>
        <source>--simulate %1: give the number of simulated cards, 1 to %2</source>
        <translation>--simulate %1：请给出仿真板卡的数目，1 到 %2</translation>
    </message>
    <message>
        <source>The simulated cards start afresh: what they kept in %1 is gone.</source>
        <translation>仿真板卡已重新开始：它们在 %1 中保留的状态已清除。</translation>
    </message>
    <message>
        <source>Test the card without a window: the digital loopback (outputs wired back to the inputs), the counter chips and the DA channels (measured with --meter); print one line per check. Exit status 0 when every check was made and passed, 1 when one failed, 3 when none failed but a part was not tested (skipped, or the DA channels without a meter), 2 when the test cannot run.</source>
        <translation>不开窗口测试板卡：开关量回环（输出接回输入）、计数器芯片和 DA 通道（用 --meter 测量）；每项检查一行。每项检查都做了且都通过时退出状态为 0，有一项不通过时为 1，没有不通过但有部分未测（跳过，或没有电表时的 DA 通道）时为 3，测试无法进行时为 2。</translation>
    </message>
    <message>
        <source>Measure each DA channel in the self-test with METER at the major carries and judge it (offset and gain within 20 LSB, INL 4, DNL 1, monotonic): sim, command:CMD or sigrok:DRIVER[:KEY=VALUE]... as da-check takes them, file:FILE (readings one a line) or typed. Without it the DA channels are not measured, and the self-test is not a pass.</source>
        <translation>自检时用 METER 在主要进位点测量每个 DA 通道并判定（失调和增益在 20 LSB 之内，积分非线性 4，微分非线性 1，单调）：sim、command:CMD 或 sigrok:DRIVER[:KEY=VALUE]...（与 da-check 相同），file:FILE（每行一个读数）或 typed。不给出时 DA 通道不测量，自检不会判为合格。</translation>
    </message>
    <message>
        <source>The DA channels&apos; range in volts for the self-test&apos;s --meter (default 0:10).</source>
        <translation>自检 --meter 测量的 DA 通道量程，单位伏（默认 0:10）。</translation>
    </message>
    <message>
        <source>Exit status: 0 done (every check made and passed), 1 a check failed, 2 could not run, 3 none failed but not every check was made or judged, 128 + N ended by signal N.</source>
        <translation>退出状态：0 完成（每项检查都做了且都通过），1 有检查不通过，2 无法进行，3 没有不通过但并非每项都检查或判定了，128 + N 被信号 N 结束。</translation>
    </message>
    <message>
        <source>--meter &quot;%1&quot; is not a meter: sim, command:CMD, sigrok:DRIVER[:KEY=VALUE]..., file:FILE or typed</source>
        <translation>--meter “%1”不是电表：sim、command:CMD、sigrok:DRIVER[:KEY=VALUE]...、file:FILE 或 typed</translation>
    </message>
    <message>
        <source>--da-range &quot;%1&quot; is not a range: LOW:HIGH in volts, LOW at code 0, such as 0:10 or -5:5</source>
        <translation>--da-range “%1”不是量程：LOW:HIGH，单位伏，LOW 为代码 0 的输出，例如 0:10 或 -5:5</translation>
    </message>
    <message>
        <source>--da-range is the range the self-test&apos;s --meter measures: give --meter too</source>
        <translation>--da-range 是自检 --meter 测量的量程：请同时给出 --meter</translation>
    </message>
    <message>
        <source>not judged, without a limit: %1</source>
        <translation>未判定（没有限值）：%1</translation>
    </message>
    <message>
        <source>verdict: %1, judged on %2</source>
        <translation>结论：%1，依据：%2</translation>
    </message>
    <message>
        <source>the readings do not follow the codes: from code 0 to FFF they moved %1 V, not about %2 V; check that the meter is on DA%3&apos;s output and reads DC volts</source>
        <translation>读数不随代码变化：从代码 0 到 FFF 变化了 %1 V，而不是约 %2 V；请检查电表是否接在 DA%3 的输出上并处于直流电压档</translation>
    </message>
    <message>
        <source>the readings give figures that are no numbers; check that the meter is on DA%1&apos;s output and reads DC volts</source>
        <translation>读数算出的指标不是数值；请检查电表是否接在 DA%1 的输出上并处于直流电压档</translation>
    </message>
    <message>
        <source>readings typed at the terminal need the self-test command at a terminal; in the window, measure with the DA check</source>
        <translation>在终端输入读数需要在终端运行自检命令；在窗口中请用 DA 校验测量</translation>
    </message>
    <message>
        <source>not measured, as no meter was set (--meter): codes %1 written, which cannot be read back. With a meter on the channel, type each in DA%2 and press DA 输出: 0 gives the bottom of its range, 800 the middle, FFF the top.</source>
        <translation>未测量，因为没有设定电表（--meter）：已写入代码 %1，无法读回。请用电表接该通道，在 DA%2 中逐个输入并按 DA 输出：0 为量程下限，800 为中点，FFF 为上限。</translation>
    </message>
    <message>
        <source>CHECK  DA%1: not measured, as the measuring ended before it</source>
        <translation>待测   DA%1：未测量，测量在此之前已结束</translation>
    </message>
    <message>
        <source>CHECK  DA%1: not measured: %2</source>
        <translation>待测   DA%1：未测量：%2</translation>
    </message>
    <message>
        <source>METER  DA%1: %2</source>
        <translation>电表   DA%1：%2</translation>
    </message>
    <message>
        <source>%1 %2 LSB beyond +-%3 LSB</source>
        <translation>%1 %2 LSB，超出 ±%3 LSB</translation>
    </message>
    <message>
        <source>not monotonic (a DNL below -1 LSB)</source>
        <translation>不单调（有低于 -1 LSB 的微分非线性）</translation>
    </message>
    <message>
        <source>offset %1, gain %2, inl %3, dnl %4 LSB over %5 codes</source>
        <translation>%5 个代码上：失调 %1、增益 %2、积分非线性 %3、微分非线性 %4 LSB</translation>
    </message>
    <message>
        <source>PASS   DA%1: %2</source>
        <translation>通过   DA%1：%2</translation>
    </message>
    <message>
        <source>FAIL   DA%1: %2; %3</source>
        <translation>失败   DA%1：%2；%3</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>已跳过</translation>
    </message>
    <message>
        <source>no meter was set</source>
        <translation>未设定电表</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>the meter or its wiring failed</source>
        <translation>电表或其接线故障</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>Not tested: %1.</source>
        <translation>未测：%1。</translation>
    </message>
    <message>
        <source>Self-test of %1: %2 of %3 checks passed.%4 Verdict: %5. %6</source>
        <translation>%1 的自检：%3 项检查中 %2 项通过。%4结论：%5。%6</translation>
    </message>
    <message>
        <source>there is nothing to test: loopback, counters and da are all skipped</source>
        <translation>没有可测的部分：loopback、counters 和 da 都已跳过</translation>
    </message>
    <message>
        <source>Passed</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>Incomplete</source>
        <translation>未全部检查</translation>
    </message>
    <message>
        <source>Not judged</source>
        <translation>未判定</translation>
    </message>
    <message>
        <source>Could not run</source>
        <translation>无法进行</translation>
    </message>
    <message>
        <source>--setup writes the card set-up the udev helper reads, %1, and no other file: give no --config</source>
        <translation>--setup 只写入 udev 辅助程序读取的板卡设置 %1，不写其他文件：请不要给出 --config</translation>
    </message>
    <message>
        <source>--%1 &quot;%2&quot; is not %3</source>
        <translation>--%1“%2”不是%3</translation>
    </message>
    <message>
        <source>the report %1 cannot be written: %2</source>
        <translation>无法写入报告 %1：%2</translation>
    </message>
    <message>
        <source>the picture %1 cannot be written: %2</source>
        <translation>无法写入图片 %1：%2</translation>
    </message>
    <message>
        <source>printed more than %1 bytes, which is no reading</source>
        <translation>输出超过 %1 字节，不是读数</translation>
    </message>
    <message>
        <source>was ended by signal %1</source>
        <translation>被信号 %1 结束</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>Where every self-test and DA check is stored: a PostgreSQL connection string or URI (postgresql://HOST/DATABASE; the password from ~/.pgpass or a service file, never here) names the line&apos;s database, anything else the SQLite file. Default: the results setting %1, and the station&apos;s own file.</source>
        <translation>每次自检和 DA 校验的保存位置：PostgreSQL 连接字符串或 URI（postgresql://HOST/DATABASE；密码取自 ~/.pgpass 或服务文件，绝不写在这里）指产线数据库，其他内容指 SQLite 文件。默认：结果设置 %1，以及本工位自己的文件。</translation>
    </message>
    <message>
        <source>--results needs a PostgreSQL connection string or URI, or a file: 1 to 4096 characters</source>
        <translation>--results 需要 PostgreSQL 连接字符串或 URI，或一个文件：1 到 4096 个字符</translation>
    </message>
    <message>
        <source>--until %1 is not after --since %2: the period holds nothing</source>
        <translation>--until %1 不在 --since %2 之后：该时段内没有任何结果</translation>
    </message>
    <message>
        <source>%1: %2 cards, first pass %3 (%4), final %5 (%6)</source>
        <translation>%1：%2 块板卡，一次通过 %3（%4），最终合格 %5（%6）</translation>
    </message>
    <message>
        <source>the picture %1 was not written: %2</source>
        <translation>图 %1 没有写入：%2</translation>
    </message>
    <message>
        <source>all results</source>
        <translation>全部结果</translation>
    </message>
    <message>
        <source>the first</source>
        <translation>最早</translation>
    </message>
    <message>
        <source>now</source>
        <translation>现在</translation>
    </message>
    <message>
        <source>results are stored in %1</source>
        <translation>结果保存在 %1</translation>
    </message>
    <message>
        <source>no line&apos;s database is set: nothing is sent</source>
        <translation>未设置产线数据库：不发送任何结果</translation>
    </message>
    <message>
        <source>and sent to the %1 (set by %2)</source>
        <translation>并发送到%1（由 %2 设置）</translation>
    </message>
    <message>
        <source>nothing is queued</source>
        <translation>没有等待发送的结果</translation>
    </message>
    <message>
        <source>%1 results queued since %2</source>
        <translation>自 %2 起有 %1 个结果等待发送</translation>
    </message>
    <message>
        <source>%1: no results</source>
        <translation>%1：没有结果</translation>
    </message>
    <message>
        <source>%1: %2 results, newest first</source>
        <translation>%1：%2 个结果，最新的在前</translation>
    </message>
    <message>
        <source>all (%1)</source>
        <translation>全部（%1）</translation>
    </message>
    <message>
        <source>not counted: %1 results that could not run or were stopped, %2 verdicts on cards without a serial</source>
        <translation>未计入：%1 个无法进行或已停止的结果，%2 个没有序列号的板卡的结论</translation>
    </message>
    <message>
        <source>Yield, %1%2</source>
        <translation>合格率，%1%2</translation>
    </message>
    <message>
        <source>, by %1</source>
        <translation>，按 %1</translation>
    </message>
    <message>
        <source>no problem was found in %1</source>
        <translation>%1 中没有发现问题</translation>
    </message>
    <message>
        <source>Problems, %1</source>
        <translation>问题，%1</translation>
    </message>
    <message>
        <source>%1; %2 results stay queued, to be sent by the next check or &quot;qm5083-bench results sync&quot;</source>
        <translation>%1；%2 个结果留在队列中，由下一次检查或“qm5083-bench results sync”发送</translation>
    </message>
    <message>
        <source>the result was not stored in the results database: %1; the verdict stands, and the report holds it</source>
        <translation>结果没有保存到结果数据库：%1；结论不变，报告中有该结果</translation>
    </message>
    <message>
        <source>--json answers in JSON: give results export --json, or --csv without --json</source>
        <translation>--json 以 JSON 应答：请用 results export --json，或不带 --json 使用 --csv</translation>
    </message>
    <message>
        <source>no line&apos;s database is set: nothing to send</source>
        <translation>未设置产线数据库：没有要发送的结果</translation>
    </message>
    <message>
        <source>sent %1 results (%2 were there already); %3 stay queued</source>
        <translation>已发送 %1 个结果（%2 个已在库中）；%3 个留在队列中</translation>
    </message>
    <message>
        <source>%1; the self-test did not run</source>
        <translation>%1；自检没有进行</translation>
    </message>
    <message>
        <source>First test of this card.</source>
        <translation>此卡首次测试。</translation>
    </message>
    <message>
        <source>Retest. %1</source>
        <translation>复测。%1</translation>
    </message>
    <message>
        <source>%1 (this station&apos;s results only: %2)</source>
        <translation>%1（仅本工位的结果：%2）</translation>
    </message>
    <message>
        <source>The card&apos;s earlier results cannot be read: %1</source>
        <translation>无法读取该板卡以前的结果：%1</translation>
    </message>
    <message>
        <source>station %1</source>
        <translation>工位 %1</translation>
    </message>
    <message>
        <source>today</source>
        <translation>今天</translation>
    </message>
    <message>
        <source>Earlier results: %1; the last, %2 (%3), on %4 at station %5</source>
        <translation>以前的结果：%1 个；最近一次为%2（%3），%4，工位 %5</translation>
    </message>
</context>
<context>
    <name>qm5083::reports</name>
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
        <source>%1: &quot;%2&quot; cannot be used; type a value from %3 to %4 (%5).</source>
        <translation>%1：“%2”不能使用；请输入 %3 到 %4 之间的值（%5）。</translation>
    </message>
    <message>
        <source>No port was read.</source>
        <translation>没有读任何端口。</translation>
    </message>
    <message>
        <source>Read before it stopped (port=byte): %1.</source>
        <translation>停止前已读（端口=字节）：%1。</translation>
    </message>
    <message>
        <source>Press 得到板卡的基地址 to locate the card, or type its base address in 基地址 and press 输出 or DA 输出.</source>
        <translation>请按“得到板卡的基地址”查找板卡，或在“基地址”中输入其基地址后按“输出”或“DA 输出”。</translation>
    </message>
    <message>
        <source>The inputs are no longer read; they are read again once a base address is stored.</source>
        <translation>不再读取输入；保存基地址后会重新读取。</translation>
    </message>
    <message>
        <source>The session record %1 ended in a line cut short (the program or the power stopped while it was written); its text is kept as a line of its own, {&quot;incomplete&quot;: ...}, and the record goes on after it.</source>
        <translation>会话记录 %1 的最后一行不完整（写入时程序被结束或断电）；其内容已作为单独一行 {&quot;incomplete&quot;: ...} 保留，记录在其后继续。</translation>
    </message>
    <message>
        <source>the file was removed or replaced</source>
        <translation>文件已被删除或替换</translation>
    </message>
    <message>
        <source>only %1 of a line&apos;s %2 bytes were written (is the disk full?)</source>
        <translation>一行的 %2 个字节只写入了 %1 个（磁盘已满？）</translation>
    </message>
    <message>
        <source>the session record %1 cannot be written: %2; recording stopped, and the program goes on without it</source>
        <translation>无法写入会话记录 %1：%2；记录已停止，程序继续运行但不再记录</translation>
    </message>
    <message>
        <source>%1 cannot be examined: %2</source>
        <translation>无法检查 %1：%2</translation>
    </message>
    <message>
        <source>%1 names no file</source>
        <translation>%1 不是文件名</translation>
    </message>
    <message>
        <source>its folder %1 does not exist</source>
        <translation>它所在的文件夹 %1 不存在</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 不是文件夹</translation>
    </message>
    <message>
        <source>its folder %1 cannot be opened: %2</source>
        <translation>无法打开它所在的文件夹 %1：%2</translation>
    </message>
    <message>
        <source>the folder %1 cannot be made: %2</source>
        <translation>无法创建文件夹 %1：%2</translation>
    </message>
    <message>
        <source>%1 is a link or not a folder; the card set-up is kept only in a real folder</source>
        <translation>%1 是链接或不是文件夹；板卡设置只保存在真正的文件夹中</translation>
    </message>
    <message>
        <source>the folder %1 cannot be opened: %2</source>
        <translation>无法打开文件夹 %1：%2</translation>
    </message>
    <message>
        <source>the folder %1 may be changed by others than its owner or is not root&apos;s (owner %2, mode %3); make it root&apos;s and writable by root alone</source>
        <translation>文件夹 %1 可被其所有者以外的人修改，或不属于 root（所有者 %2，权限 %3）；请让它属于 root 且只有 root 可写</translation>
    </message>
    <message>
        <source>it cannot be examined: %1</source>
        <translation>无法检查它：%1</translation>
    </message>
    <message>
        <source>it is a link; give the file itself</source>
        <translation>它是链接；请给出文件本身</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>它是文件夹</translation>
    </message>
    <message>
        <source>it is not a regular file (a device, a pipe or a socket)</source>
        <translation>它不是普通文件（是设备、管道或套接字）</translation>
    </message>
    <message>
        <source>it belongs to another user, in a folder others may write; run as root, the program writes there only its own files</source>
        <translation>它属于另一个用户，且位于他人可写的文件夹中；以 root 身份运行时，程序在那里只写自己的文件</translation>
    </message>
    <message>
        <source>it cannot be read: %1</source>
        <translation>无法读取它：%1</translation>
    </message>
    <message>
        <source>it is larger than %1 bytes</source>
        <translation>它超过 %1 字节</translation>
    </message>
    <message>
        <source>it cannot be written: %1</source>
        <translation>无法写入它：%1</translation>
    </message>
    <message>
        <source>it cannot be opened: %1</source>
        <translation>无法打开它：%1</translation>
    </message>
    <message>
        <source>qm5083-bench --check-setup says what stands between the program and the card (the card set-up, the card on the bus, its ids); then start the program again.</source>
        <translation>qm5083-bench --check-setup 会指出程序与板卡之间缺少什么（板卡设置、总线上的板卡、其 ID）；然后重新启动程序。</translation>
    </message>
    <message>
        <source>it is not a regular file (a device, a pipe or a socket); the record goes to a file only</source>
        <translation>它不是普通文件（是设备、管道或套接字）；记录只写入文件</translation>
    </message>
    <message>
        <source>it is not a session record (its first line is no {&quot;session&quot;: ...}); name a new file, or a record this program began</source>
        <translation>它不是会话记录（第一行不是 {&quot;session&quot;: ...}）；请给出新文件，或本程序创建的记录</translation>
    </message>
    <message>
        <source>simulated card %1</source>
        <translation>仿真板卡 %1</translation>
    </message>
    <message>
        <source>DA%1 of %2, serial %3, %4</source>
        <translation>%2 的 DA%1，序列号 %3，%4</translation>
    </message>
    <message>
        <source>INL per code, LSB (band: the INL limit)</source>
        <translation>各代码的积分非线性，LSB（色带：积分非线性限值）</translation>
    </message>
    <message>
        <source>DNL per step between neighbouring codes, LSB (band: the DNL limit)</source>
        <translation>相邻代码间每一步的微分非线性，LSB（色带：微分非线性限值）</translation>
    </message>
    <message>
        <source>DA check</source>
        <translation>DA 校验</translation>
    </message>
    <message>
        <source>%1 is a link of another user&apos;s (uid %2); run as root, the program follows only root&apos;s links and those of the user who ran it</source>
        <translation>%1 是另一用户（uid %2）的链接；以 root 运行时，程序只跟随 root 和运行它的用户的链接</translation>
    </message>
    <message>
        <source>The session record %1 ended in a line cut short, %2 bytes long from byte %3 (the program or the power stopped while it was written, or the file was damaged); its bytes are left as they are, its first %4 are kept as a line of their own after it, {&quot;incomplete&quot;: ..., &quot;left&quot;: ...}, and the record goes on after that.</source>
        <translation>会话记录 %1 的最后一行不完整，长 %2 字节，从第 %3 字节开始（写入时程序被结束或断电，或文件已损坏）；这些字节保持原样，其前 %4 字节作为其后单独的一行 {&quot;incomplete&quot;: ..., &quot;left&quot;: ...} 保留，记录在那之后继续。</translation>
    </message>
</context>
<context>
    <name>qm5083::results</name>
    <message>
        <source>PostgreSQL database</source>
        <translation>PostgreSQL 数据库</translation>
    </message>
    <message>
        <source>PostgreSQL database %1</source>
        <translation>PostgreSQL 数据库 %1</translation>
    </message>
    <message>
        <source>of service %1</source>
        <translation>（服务 %1）</translation>
    </message>
    <message>
        <source>on %1</source>
        <translation>（位于 %1）</translation>
    </message>
    <message>
        <source>as %1</source>
        <translation>（用户 %1）</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>内存不足</translation>
    </message>
    <message>
        <source>the results setting is no PostgreSQL connection string or URI: %1</source>
        <translation>结果设置不是 PostgreSQL 连接字符串或 URI：%1</translation>
    </message>
    <message>
        <source>the results setting holds a password, which others could read: put it in ~/.pgpass or a service file (~/.pg_service.conf) and give the setting without it</source>
        <translation>结果设置中含有密码，别人可能读到：请把密码放在 ~/.pgpass 或服务文件（~/.pg_service.conf）中，设置中不要写密码</translation>
    </message>
    <message>
        <source>the %1 cannot be reached: out of memory</source>
        <translation>无法连接%1：内存不足</translation>
    </message>
    <message>
        <source>all</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>cards: %1</source>
        <translation>板卡：%1</translation>
    </message>
    <message>
        <source>first-pass yield</source>
        <translation>一次通过率</translation>
    </message>
    <message>
        <source>final yield</source>
        <translation>最终合格率</translation>
    </message>
    <message>
        <source>no problems in this period</source>
        <translation>该时段内没有问题</translation>
    </message>
    <message>
        <source>results with the problem</source>
        <translation>出现该问题的结果数</translation>
    </message>
    <message>
        <source>cumulative share</source>
        <translation>累计占比</translation>
    </message>
    <message>
        <source>the results database %1 has schema version %2, newer than this program&apos;s %3: it was written by a later qm5083-bench; update this one, or name another database with --results</source>
        <translation>结果数据库 %1 的结构版本为 %2，比本程序的 %3 新：它是由更新版本的 qm5083-bench 写入的；请更新本程序，或用 --results 指定另一个数据库</translation>
    </message>
    <message>
        <source>the results setting %1 cannot be read: %2</source>
        <translation>无法读取结果设置 %1：%2</translation>
    </message>
    <message>
        <source>the results setting %1, line %2, is longer than %3 bytes or holds a control character</source>
        <translation>结果设置 %1 第 %2 行超过 %3 字节或含有控制字符</translation>
    </message>
    <message>
        <source>the results setting %1, line %2: it names one database, on one line; this is a second</source>
        <translation>结果设置 %1 第 %2 行：设置只能在一行中给出一个数据库；这是第二个</translation>
    </message>
    <message>
        <source>the results setting %1, line %2, is no PostgreSQL connection string or URI (postgresql://HOST/DATABASE, or &quot;host=HOST dbname=DATABASE&quot;)</source>
        <translation>结果设置 %1 第 %2 行不是 PostgreSQL 连接字符串或 URI（postgresql://HOST/DATABASE，或“host=HOST dbname=DATABASE”）</translation>
    </message>
    <message>
        <source>the results database&apos;s folder %1 cannot be made</source>
        <translation>无法创建结果数据库的文件夹 %1</translation>
    </message>
    <message>
        <source>the results database %1 cannot be put in WAL mode</source>
        <translation>无法把结果数据库 %1 设为 WAL 模式</translation>
    </message>
    <message>
        <source>the %1 cannot be reached: &quot;%2&quot;</source>
        <translation>无法连接 %1：“%2”</translation>
    </message>
    <message>
        <source>the %1 failed: &quot;%2&quot;</source>
        <translation>%1 出错：“%2”</translation>
    </message>
    <message>
        <source>the results database %1 failed: &quot;%2&quot;</source>
        <translation>结果数据库 %1 出错：“%2”</translation>
    </message>
    <message>
        <source>the results database %1 is damaged or no SQLite database: move it aside, and the next result starts a new one there</source>
        <translation>结果数据库 %1 已损坏或不是 SQLite 数据库：请把它移走，下一个结果会在那里新建数据库</translation>
    </message>
    <message>
        <source>the results database %1 stayed busy for %2 s: another program writes it (&quot;%3&quot;)</source>
        <translation>结果数据库 %1 忙了 %2 秒：另一个程序正在写入（“%3”）</translation>
    </message>
</context>
<context>
    <name>qm5083::window::DaCheckDialog</name>
    <message>
        <source>DA check</source>
        <translation>DA 校验</translation>
    </message>
    <message>
        <source>LOW:HIGH in volts: what code 0 and the top of the range give</source>
        <translation>低:高，单位伏：码 0 和量程顶端的输出</translation>
    </message>
    <message>
        <source>How many codes, spread evenly from 0 to FFF; the major carries are always among them</source>
        <translation>码的个数，从 0 到 FFF 均匀分布；主要进位点总在其中</translation>
    </message>
    <message>
        <source>In LSB: one limit for every figure, or offset=L,gain=L,inl=L,dnl=L</source>
        <translation>单位 LSB：所有指标一个限值，或 offset=L,gain=L,inl=L,dnl=L</translation>
    </message>
    <message>
        <source>empty: type each reading</source>
        <translation>留空：逐个输入读数</translation>
    </message>
    <message>
        <source>The meter, as --meter gives it: sim, command:CMD or sigrok:DRIVER[:KEY=VALUE]...; empty to type each reading</source>
        <translation>万用表，写法同 --meter：sim、command:CMD 或 sigrok:DRIVER[:KEY=VALUE]...；留空则逐个输入读数</translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>操作员：</translation>
    </message>
    <message>
        <source>Station:</source>
        <translation>工位：</translation>
    </message>
    <message>
        <source>Channel:</source>
        <translation>通道：</translation>
    </message>
    <message>
        <source>Range (V):</source>
        <translation>量程（V）：</translation>
    </message>
    <message>
        <source>Codes:</source>
        <translation>码数：</translation>
    </message>
    <message>
        <source>Limits (LSB):</source>
        <translation>限值（LSB）：</translation>
    </message>
    <message>
        <source>Meter:</source>
        <translation>万用表：</translation>
    </message>
    <message>
        <source>Results folder:</source>
        <translation>结果文件夹：</translation>
    </message>
    <message>
        <source>Start the check</source>
        <translation>开始校验</translation>
    </message>
    <message>
        <source>reading in volts, then Enter</source>
        <translation>读数（伏），然后回车</translation>
    </message>
    <message>
        <source>code</source>
        <translation>码</translation>
    </message>
    <message>
        <source>ideal V</source>
        <translation>理想值 V</translation>
    </message>
    <message>
        <source>reading V</source>
        <translation>读数 V</translation>
    </message>
    <message>
        <source>error LSB</source>
        <translation>误差 LSB</translation>
    </message>
    <message>
        <source>The DA check cannot start: %1</source>
        <translation>DA 校验无法开始：%1</translation>
    </message>
    <message>
        <source>%1 V</source>
        <translation>%1 V</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no reading of %2 to %3 V; type the meter&apos;s reading in volts again.</source>
        <translation>“%1”不是 %2 到 %3 V 量程的读数；请重新输入万用表的读数（伏）。</translation>
    </message>
    <message>
        <source>No report was filed.</source>
        <translation>未保存报告。</translation>
    </message>
    <message>
        <source>Report filed: %1</source>
        <translation>报告已保存：%1</translation>
    </message>
    <message>
        <source>2 to 4096 codes</source>
        <translation>2 到 4096 个码</translation>
    </message>
    <message>
        <source>DA check of card %1, base %2</source>
        <translation>%1 号卡的 DA 校验，基地址 %2</translation>
    </message>
    <message>
        <source>none found</source>
        <translation>未找到</translation>
    </message>
    <message>
        <source>the window reaches no card</source>
        <translation>窗口没有连接到板卡</translation>
    </message>
    <message>
        <source>the check was stopped at code %1; DA%2 is left at code 0</source>
        <translation>检查在代码 %1 处停止；DA%2 已置为代码 0</translation>
    </message>
    <message>
        <source>the results folder %1 cannot be made: %2</source>
        <translation>无法创建结果文件夹 %1：%2</translation>
    </message>
    <message>
        <source>Serial %1, card %2, base %3, DA%4</source>
        <translation>序列号 %1，%2 号卡，基地址 %3，DA%4</translation>
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
    <message>
        <source>No card %1; no card was found.</source>
        <translation>没有 %1 号板卡；没有找到任何板卡。</translation>
    </message>
    <message>
        <source>No card %1; cards found: %2.</source>
        <translation>没有 %1 号板卡；找到的板卡：%2。</translation>
    </message>
    <message>
        <source>Card %1 is %2 (%3), at base %4.</source>
        <translation>%1 号板卡是 %2（%3），基地址 %4。</translation>
    </message>
    <message>
        <source>Card %1 is at base %2.</source>
        <translation>%1 号板卡的基地址是 %2。</translation>
    </message>
    <message>
        <source>The session record stopped</source>
        <translation>会话记录已停止</translation>
    </message>
    <message>
        <source>The session record</source>
        <translation>会话记录</translation>
    </message>
    <message>
        <source> [recording stopped]</source>
        <translation> [记录已停止]</translation>
    </message>
    <message>
        <source>qm5083-bench could not start</source>
        <translation>qm5083-bench 无法启动</translation>
    </message>
    <message>
        <source>Not read now: the inputs are held until a base address is stored again (输出, DA 输出 or 得到板卡的基地址); the byte shown is the last one read.</source>
        <translation>现在不读取：输入保持不变，直到再次保存基地址（输出、DA 输出或得到板卡的基地址）；显示的字节是最后一次读到的。</translation>
    </message>
    <message>
        <source>&amp;Test</source>
        <translation>测试(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Self-test…</source>
        <translation>自检(&amp;S)…</translation>
    </message>
    <message>
        <source>&amp;DA check…</source>
        <translation>DA 校验(&amp;D)…</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Manual</source>
        <translation>使用说明(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>关于(&amp;A)</translation>
    </message>
    <message>
        <source>the simulated card</source>
        <translation>仿真板卡</translation>
    </message>
    <message>
        <source>no card found</source>
        <translation>未找到板卡</translation>
    </message>
    <message>
        <source>the cards&apos; ids given with --pci-id</source>
        <translation>用 --pci-id 给出的板卡 ID</translation>
    </message>
    <message>
        <source>none (the simulated card)</source>
        <translation>无（仿真板卡）</translation>
    </message>
    <message>
        <source>About qm5083-bench</source>
        <translation>关于 qm5083-bench</translation>
    </message>
    <message>
        <source>qm5083-bench %1</source>
        <translation>qm5083-bench %1</translation>
    </message>
    <message>
        <source>The bench test program for the qm5083 PCI I/O card.
Licence: GPL-3.0-or-later.
Card set-up: %1
Card: %2</source>
        <translation>qm5083 PCI 输入/输出板卡的测试程序。
许可证：GPL-3.0-or-later。
板卡设置：%1
板卡：%2</translation>
    </message>
    <message>
        <source>self-test</source>
        <translation>自检</translation>
    </message>
    <message>
        <source>The self-test could not run</source>
        <translation>自检无法进行</translation>
    </message>
    <message>
        <source>The self-test ran, but its report was not filed</source>
        <translation>自检已完成，但其报告未能保存</translation>
    </message>
    <message>
        <source>&amp;Results…</source>
        <translation>结果(&amp;R)…</translation>
    </message>
    <message>
        <source>no results are kept without a bench</source>
        <translation>没有测试台，不保存结果</translation>
    </message>
</context>
<context>
    <name>qm5083::window::Manual</name>
    <message>
        <source>Manual</source>
        <translation>使用说明</translation>
    </message>
    <message>
        <source>The full manual: man qm5083-bench. The program&apos;s options:</source>
        <translation>完整手册：man qm5083-bench。程序的选项：</translation>
    </message>
</context>
<context>
    <name>qm5083::window::ResultsDialog</name>
    <message>
        <source>Results</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>&amp;Refresh</source>
        <translation>刷新(&amp;R)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Today&apos;s results in %1</source>
        <translation>%1 中今天的结果</translation>
    </message>
    <message>
        <source>Today&apos;s problems</source>
        <translation>今天的问题</translation>
    </message>
    <message>
        <source>The results cannot be read: %1</source>
        <translation>无法读取结果：%1</translation>
    </message>
</context>
<context>
    <name>qm5083::window::SelfTestDialog</name>
    <message>
        <source>Choose…</source>
        <translation>选择…</translation>
    </message>
    <message>
        <source>digital loopback (no loopback cable)</source>
        <translation>开关量回环（无回环线）</translation>
    </message>
    <message>
        <source>counters</source>
        <translation>计数器</translation>
    </message>
    <message>
        <source>DA writes</source>
        <translation>DA 写入</translation>
    </message>
    <message>
        <source>Serial number:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>操作员：</translation>
    </message>
    <message>
        <source>Station:</source>
        <translation>工位：</translation>
    </message>
    <message>
        <source>Results folder:</source>
        <translation>结果文件夹：</translation>
    </message>
    <message>
        <source>Skip:</source>
        <translation>跳过：</translation>
    </message>
    <message>
        <source>Start the test (Enter)</source>
        <translation>开始测试（回车）</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Results folder</source>
        <translation>结果文件夹</translation>
    </message>
    <message>
        <source>The report %1 cannot be written: %2; the self-test did not run.</source>
        <translation>无法写入报告 %1：%2；自检未进行。</translation>
    </message>
    <message>
        <source>Another operation is running; try again when it ends.</source>
        <translation>另一个操作正在进行；请在它结束后再试。</translation>
    </message>
    <message>
        <source>Report filed: %1</source>
        <translation>报告已保存：%1</translation>
    </message>
    <message>
        <source>No report was filed.</source>
        <translation>未保存报告。</translation>
    </message>
    <message>
        <source>Self-test of card %1, base %2</source>
        <translation>%1 号卡的自检，基地址 %2</translation>
    </message>
    <message>
        <source>none found</source>
        <translation>未找到</translation>
    </message>
    <message>
        <source>empty: the DA channels are not measured</source>
        <translation>空：不测量 DA 通道</translation>
    </message>
    <message>
        <source>The meter that measures each DA channel in turn, as --meter gives it: sim, command:CMD, sigrok:DRIVER[:KEY=VALUE]... or file:FILE</source>
        <translation>依次测量每个 DA 通道的电表，写法同 --meter：sim、command:CMD、sigrok:DRIVER[:KEY=VALUE]... 或 file:FILE</translation>
    </message>
    <message>
        <source>LOW:HIGH in volts: what code 0 and the top of the range give</source>
        <translation>LOW:HIGH，单位伏：代码 0 和量程上限的输出</translation>
    </message>
    <message>
        <source>Range (V):</source>
        <translation>量程（V）：</translation>
    </message>
    <message>
        <source>DA meter:</source>
        <translation>DA 电表：</translation>
    </message>
    <message>
        <source>the digital loopback</source>
        <translation>开关量回环</translation>
    </message>
    <message>
        <source>the counters</source>
        <translation>计数器</translation>
    </message>
    <message>
        <source>the DA channels</source>
        <translation>DA 通道</translation>
    </message>
    <message>
        <source>the DA channels&apos; outputs (no meter)</source>
        <translation>DA 通道的输出（没有电表）</translation>
    </message>
    <message>
        <source>Everything is skipped: there is nothing to test.</source>
        <translation>全部跳过：没有可测的部分。</translation>
    </message>
    <message>
        <source>Not tested: %1. The verdict will not be a pass.</source>
        <translation>未测：%1。结论不会是合格。</translation>
    </message>
    <message>
        <source>The meter or the range cannot be used: %1; the self-test did not run.</source>
        <translation>电表或量程不能使用：%1；自检没有进行。</translation>
    </message>
    <message>
        <source>Serial %1, card %2, base %3</source>
        <translation>序列号 %1，%2 号卡，基地址 %3</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is not %3; correct it and start again.</source>
        <translation>%1“%2”不是%3；请改正后重新开始。</translation>
    </message>
    <message>
        <source>Not tested: %1.</source>
        <translation>未测：%1。</translation>
    </message>
</context>
</TS>
