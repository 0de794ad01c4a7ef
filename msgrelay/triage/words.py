"""The words the sorting rules look for, as data.

Each entry is a plain word or a short regular-expression fragment; `sorting.py` joins them into
patterns once, at import.  Chinese has no spaces, so most fragments are matched inside a clause
(the text between two punctuation marks): in a fragment, \\S stands for any character of the clause.
"""

# -- who a message is for --------------------------------------------------------------------------
# Titles and forms by which colleagues and customers address someone: 李工, 李总, 小李, 老李, 明哥.
SURNAME_TITLES = ("工", "总", "老师", "经理", "总监", "主管", "主任", "哥", "姐", "老板", "博士", "师傅", "sir")
SURNAME_PREFIXES = ("小", "老")
GIVEN_NAME_TITLES = ("哥", "姐", "总")
COMPOUND_SURNAMES = ("欧阳", "司马", "上官", "诸葛", "东方", "皇甫", "令狐", "慕容", "尉迟", "公孙", "长孙",
                     "宇文", "司徒", "夏侯", "轩辕", "端木", "南宫", "独孤", "西门", "呼延")
EVERYONE_MENTIONS = ("所有人", "全体成员", "全体", "all", "All", "everyone", "Everyone")
EVERYONE_WORDS = ("大家", "各位", "所有人", "全体", "同学们", "每个人", "每人", "诸位", "家长们", "同事们", "小伙伴们", "伙伴们")
# An @ runs on into the text when no space follows: "@李明你看下" is the user, "@李明辉" someone else.
AFTER_MENTION = "你您请帮麻看在有这那把"
# In running text a name is the user's only when the next word starts here ("李明负责…", "由李明跟银行确认",
# "李明之前说过"); any other Chinese character makes it a longer name (李明辉, 李明亮).
NAME_FOLLOWERS = AFTER_MENTION + ("的之说讲也和跟与及或等都就还又才已刚曾先再重只是不没要想会能可应该得被让叫将"
                                  "来去到从负处主对牵做写出提发给回交改查问补填修完整接带参开定拍批审签他她们"
                                  "今昨前后上下手自本老总工哥姐家同确准安吗呢吧啊呀哦嘛了着过测加联组用找买拿约打催"
                                  "值管排选算订试跑收通拉推搞弄向替为于一")
NAME_FOLLOWING_WORDS = ("明天", "明早", "明晚", "明年", "明日")
# "李明，…", "明哥 …", "李明你好": the name opens the message and addresses the user.
SALUTATION_ENDS = " ，,：:、!！~"
GREETINGS = ("你好", "您好", "早", "在吗")
# A greeting before the name opens it too: "Hi Li Ming, …", "嗨 小李，…".
ENGLISH_GREETINGS = r"(?:hi|hello|hey|dear|morning|hiya)"
GREETING_BEFORE = r"^\s*(?:" + ENGLISH_GREETINGS + r"|嗨|哈喽|哈啰|早上好|早安)\s*[,，!！]?\s*$"
# The name closing the message addresses the user too: "…方便的话发我们一版，谢谢李工", "…，李工".
CLOSING_BEFORE = r"(?:[，,。.!！~～\s]|谢谢|多谢|感谢|辛苦(?:了)?|麻烦(?:了)?|有劳|拜托(?:了)?)$"
CLOSING_TAIL = " \n，,。.!！?？~～了啦哈呀"  # what may follow the closing name
# A role the user has, addressed in a group: "各组长周五前把 OKR 发我", "请各位负责人确认".
ROLE_ADDRESS = r"(?:各位?|所有|全体)\s*(?:\S{0,4}负责人|小?组长|TL|leader|Leader|owner|Owner|主管|项目经理|PM)|(?:组长|负责人)们"
# "明哥今晚来不来？", "小李明天有空吗": a time right after the name opens a question or request to the user.
OPENER_TIMES = ("今天", "今晚", "明天", "明早", "明晚", "下午", "上午", "中午", "晚上", "周末", "这周", "下周", "现在", "有空",
                "方便")
# A reply aimed at the user: "回复 李明：…", "Re 李明:", "引用 李明 的消息".
REPLY_TO = r"^\s*(?:回复|答复|引用|Re|RE|re)\s*[:：]?\s*@?$"
# A task put to the user by the words before the name: "需要李明重新提", "由李明牵头"; a request: "请李明确认".
ASSIGNING_BEFORE = ("需要", "由", "交给", "安排")
ASKING_BEFORE = ("请", "让", "麻烦", "辛苦")
# An appointment is no task: "由李明同志兼任技术负责人".
APPOINTED = r"\s*(同志|同学)?\s*(兼任|担任|出任|升任|接任|任)"
# The name followed by a task assigns it: "纪要：…李明负责灰度方案", "李明帮忙主持一下".
ASSIGNED = ("来", "负责", "跟进", "处理", "主持", "对接", "牵头", "去", "你", "帮忙", "帮", "看一下", "看下", "确认",
            "讲", "汇报", "分享", "介绍", "演示",
            "准备", "安排", "跟一下", "review")
# 我 or 你 after one of these is an object, not the one who acts: 发我, 帮我, 答复你, 跟你.
OBJECT_AFTER = "帮给跟找和陪替借发让叫问诉知回来去到向对为复谢送教还催请约醒转寄带"
# An advertisement, whoever sends it: no request and nothing important.
ADVERTISING = ("领券", "领取优惠券", "折起", "元起", "限时", "秒杀", "会员日", "促销", "特价", "满减", "退订", "新品上市")
# Who writes without being a person: service accounts, bots, systems.
AUTOMATED_SENDERS = ("机器人", "bot", "Bot", "BOT", "助手", "Jenkins", "GitLab", "GitHub", "Gitlab", "CI",
                     "监控", "告警", "系统", "审批", "日程", "日历", "团队", "服务号", "公众号", "订阅号", "银行",
                     "支付", "快递", "速运", "速递", "驿站", "物流", "客服", "理赔", "福利", "官方", "商城",
                     "外卖", "航空", "12306", "移动", "联通", "电信", "通知")
# Chats with a customer, and customers' names ("鼎盛-周经理", "客户-苏经理"): there 你们 is the user's team.
CUSTOMER_CHATS = ("对接", "客户", "甲方", "交付", "实施", "外部", "驻场")
CUSTOMER_SENDER = r"^(?:客户|[^-—·]{2,8}[-—·](?=\S))"  # a company before the person's name
# Units of the user's own company that also write "财务-钱多多", "IT部-阿斌".
OWN_UNITS = ("部", "行政", "财务", "HR", "hr", "人事", "法务", "采购", "市场", "销售", "IT", "运维", "测试", "产品", "研发",
             "设计", "质量", "安保", "工会", "物业", "前台", "办公室", "中心", "组")
TEAM_YOU = ("你们", "贵司", "贵方", "贵公司")
# Sender names that mark a boss or a customer's decision maker.
SENIOR_TITLES = ("总", "总监", "经理", "老板", "主任", "部长", "处长", "局长", "董事长", "主管", "VP", "CEO", "CTO",
                 "CFO", "COO")

# -- what asks something -----------------------------------------------------------------------------
# Markers of a request anywhere in a clause.
REQUEST_MARKERS = ("(?<!不用)麻烦(?!了)", "劳驾", "帮忙", "帮我", "帮看", "帮着", "帮个忙", "能帮", "记得", "别忘了", "别忘记", "务必",
                   "尽快", "赶紧", "赶快", "抓紧", "马上", "立刻", "立即", "需要你", "需要您",
                   "给我(?!们)", "发我(?!们)", "回我(?!们)", "告诉我(?!们)", "通知我(?!们)", "过目", "答复我(?!们)",
                   "回复我(?!们)", "转我(?!们)", "借我", "找一下", "该交了", "必须", "优先(?!级)", r"^\s*(还|也|就)?得(?![到了很])",
                   # a summons: "来我办公室一趟", "现在立刻来一趟机房"
                   "来一趟", "过来一下", "(来|到)我(办公室|这儿?|工位)",
                   # an obligation: "你们的服务得在那之前迁走", "你得先跟他说"
                   "你们?得(?![到了])", "得(在|先|赶紧|尽快|马上|抓紧)",
                   # a deliverable wanted: "局里要一份汇报材料", "选型补一份对比"
                   "要一(份|版|套|张)", "(补|出|写|做|整理|提供)一(份|版|套|张)")
# 需要 asks when neither the sender nor a negation comes before it ("需要重开一张", not "我们需要").
NEED = r"(?<![我们不无])需要"
# "请" opens a request unless it means treat, leave or invitation card.
PLEASE_NOT = ("假", "客", "柬", "帖", "愿", "大家吃", "大家喝", "你吃", "您吃", "你喝", "吃", "喝")
PLEASE_WORDS_NOT = "申邀聘宴恳敬"  # 申请, 邀请, 聘请…: no request
# Verbs that a request puts after 你/您 or at the head of a clause ("你定一下", "晚上回来带瓶酱油").
ACTION_VERBS = ("看", "查", "改", "发", "给", "回", "填", "签", "批", "审", "定", "催", "找", "问", "跟", "转", "交",
                "写", "出", "做", "处理", "确认", "安排", "准备", "主持", "负责", "操作", "联系", "通知", "说",
                "讲", "评估", "过目", "过一", "重启", "停", "清", "拉", "约", "订", "买", "带", "陪", "接", "回来",
                "过来", "来", "去", "回复", "答复", "同步", "更新", "修", "测", "验证", "评审", "决定", "选", "挑",
                "拿", "帮", "核对", "检查", "整理", "补", "参加", "试", "定夺", "拍板", "把", "提交", "上传", "当",
                "打个", "打一下", "打电话", "停", "迁", "切", "派",
                "review", "check")
# Adverbs and time words that may stand between 你 and the verb.
YOU_FILLERS = ("先", "再", "也", "就", "直接", "还是", "赶紧", "赶快", "快点", "快", "马上", "立刻", "尽快", "抽空",
               "有空", "方便", "帮忙", "今天", "今晚", "明天", "明早", "明晚", "下午", "上午", "晚上", "中午", "周末",
               "这周", "下周", "那边", "这边", "们", "俩", "们俩", "来", "去", "现在", "一会", "待会", "回头", "看看",
               "顺便", "一起", "早点")
# Verbs whose head position in a subjectless clause makes an imperative ("带瓶酱油", "交周报").
HEAD_VERBS = ("带", "买", "拿", "交", "发", "填", "签", "转", "催", "找", "约", "订", "准备", "记得", "别忘",
              "帮", "确认", "提交", "核对", "补", "看一下", "看下", "过一下", "做", "改", "修", "写", "测", "查",
              "完善", "处理", "安排", "跟进", "整理", "寄", "送", "登记", "录入", "迁移", "迁走", "清理", "清一下",
              "打个", "打一下", "存一下", "回滚", "重启", "切到", "切换", "合进", "合到", "合并")
# Before a head verb: time words, a deadline ("上线前") and adverbs.
HEAD_LEAD = (r"(?:今天|今晚|明天|明早|晚上|下午|上午|中午|周末|回来|回家|下班|顺便|顺路|路上|先|再|重新|重|好好|认真|提前|"
             r"[^，,。；;！!？?\n再]{1,6}(?:前|之前|以前|之内|以内|内))")  # "上线前", "这周内"
# "看一下", "停一停", "看下": a softened imperative, unless 一下 starts a time (一下午) or 一V一 defers (放一放).
NOT_A_MOMENT = "午班周个次来去子"
NOT_REDUPLICATED = "放等缓搁"
SHORT_DOWN_VERBS = "看查调改停试问找转签审过聊说催"
# Question forms.  A clause that ends in one of QUESTION_ENDS, or carries an A-not-A form.
QUESTION_ENDS = ("吗", "么", "呢", "不", "没", "呗", "嘛", "没有")
QUESTION_TAIL = "？?吗么呢不没呗嘛有。.~～，,"  # how a clause that ends a question ends, whatever comes before
QUESTION_FORMS = ("能不能", "可不可以", "行不行", "好不好", "要不要", "是不是", "有没有", "会不会", "该不该",
                  "怎么", "为什么", "为啥", "什么原因", "多少", "几天", "哪里", "在哪", "咋样", "你觉得", "你看呢",
                  "哪个", "哪些", "什么时候", "啥时候", "多久", "几点", "可以吗", "方便吗", "在吗", "对吗", "如何")
ENGLISH_REQUESTS = (r"\bcan (you|we)\b", r"\bcould (you|we)\b", r"\bwould you\b", r"\bplease\b", r"\bpls\b",
                    r"\bptal\b", r"\btake a look\b", r"\bhave a look\b", r"\bwhen you (get|have) a (chance|moment|sec)",
                    r"\blmk\b", r"\bmind (checking|reviewing|taking)\b",
                    r"\blet me know\b", r"\bneed you\b", r"\bwill you\b")
# Someone reports a problem with the user's work ("你提测的包有个崩溃").
PROBLEM_WORDS = ("崩溃", "崩了", "挂了", "宕机", "报错", "异常", "出错", "错了", "不对", "对不上", "有问题",
                 "有个问题", "有bug", "有 bug", "冲突了", "编译不过", "跑不起来", "跑不通", "OOM", "打满", "满了",
                 "卡住", "卡死", "连不上", "打不开", "登不上", "用不了", "不能用", "没到账", "还没到账", "投诉",
                 "超时了", "失败了",
                 # what is still missing from the user: "今天的日报还没交"
                 "还没交", "还没提交", "还没填", "还没回复", "还没确认", "还没签", "还没审批", "还没还", "还没付",
                 "还没报", "还没补", "还没冲账", "还差", "缺了", "少了", "不全", "不齐", "补不上",
                 # a resource running out or a number gone bad: "磁盘只剩 3%", "覆盖率太低了"
                 "只剩", "快满", "写满", "太低", "太高", "太慢", "不够用", r"越来越(大|高|慢|多|严重|卡)",
                 # someone chases the user for it: "财务催了"
                 "催了", "在催", "催你", "撑不住", "扛不住", "顶不住", "快爆了",
                 # the user's item still outstanding: "你 7 月的备用金还没核销"
                 r"(你|您)的?\S{0,16}还没(?!到|来|好|出|下来)")
# A problem solved: "已经修好了", "重启已恢复".
SOLVED = (r"(已|已经)\S{0,4}(解决|处理|修复|恢复|修好|搞定|好了|正常)", r"搞定", r"修好", r"恢复正常", r"没问题了", r"好了")
# Words that say a thing is finished or only informs.
DONE_WORDS = ("已经", "已", "搞定", "完成了", "好了", "完了", "结束了", "处理完", "修好", "恢复正常", "通过了")
INFO_ONLY = ("知悉", "周知", "不用麻烦", "不麻烦了", "FYI", "fyi", "Heads up", "heads up", "仅供参考", "供参考", "无需回复", "不用回复",
             "不需回复", "收到即可", "无需处理", "不用处理")
# Someone reminds the user of something of theirs ("提醒一下，你的年假还剩 7 天"): a loop for later, no request.
REMINDER = r"(提醒(一下|你|您)|温馨提示|友情提示)"
REMINDER_OF_MINE = REMINDER + r"[^。！？!?]{0,4}?(你|您)的"
# Kind words that look like imperatives but ask nothing ("多穿点衣服", "别担心").
CARE_WORDS = ("降温了", "天冷了", "变天了", "多穿", "注意身体", "注意安全", "注意休息", "保重", "别担心", "不用担心", "别着急", "放心", "多喝水",
              "照顾好", "路上小心", "早点睡", "早点休息", "别熬夜", "别累着", "好好休息")
# Group messages that apply only to some ("没拜访的不用填", "不去的不用报", "有空看看").
CONDITIONAL = (r"不用", r"无需", r"不必", r"(没|未)\S{0,8}的(?!会)", r"已\S{0,6}的\S{0,2}(忽略|不用|无需|可忽略)", r"不\S{0,3}的", r"如需", r"如果", r"有空",
               r"有兴趣", r"感兴趣", r"自愿", r"可选", r"愿意的", r"想\S{0,4}的", r"能来的", r"要去的",
               # leisure is for whoever wants to come
               r"聚会", r"聚餐", r"约饭", r"饭局", r"爬山", r"出游", r"打球", r"踢球", r"约跑", r"唱歌", r"年会")
# Preparing for a meeting everyone attends is a duty: "明天 PRD 评审，大家提前把文档看一遍".
PREPARE = r"提前\S{0,6}(看|读|阅读|熟悉|准备|过一遍|填|提交|想好)"
# The user's part named first, then what to do with it: "你那边的外包先停两个", "你手上那个重构先停一停".
YOU_TOPIC = r"(你|您)们?(那边|这边|组里|手上|手里)?的?[^，,。；;！!？?\n]{0,6}?(先|赶紧|尽快|马上|抓紧)"
# What every member of a group must do (投票, 考试, 更新 wiki, 交周报), or stand by for.
DUTY_VERBS = ("(?<![提上补])交(?![换流通易付接互叉往集界代警])", "提交", "上交", "填", "填写", "填报", "投票", "考试",
              "签到", "上传", "补齐", "补交", "完成", "更新", "确认", "报名", "登记", "录入", "报备", "签署")
# Everyone at once: "今天下班前把各自的代码合到 release 分支".
EACH = ("各自", "每个人", "每人", "所有人", "全员", "大家都")
STANDBY = (r"保持\S{0,3}(在线|畅通)", r"待命", r"值守", r"(别|不要)下线", r"(别|不要|先别)走")
# Everyone now, in an emergency: "所有人现在立即上线排查", "everyone on backend please jump in now".
ALL_NOW = (r"(所有人|全员|大家|各位|全体)\S{0,8}(立即|立刻|马上|现在|尽快|赶紧)",)
ALL_NOW_ENGLISH = (r"(everyone|all hands)\b.{0,40}\bnow",)
# A clause about what cannot be done asks no one to do it ("期间无法提交代码").
UNABLE = ("无法", "不能", "没法", "禁止", "暂停", "不可", "停止")
# A role for each attendee of a meeting: "每个人准备 5 分钟汇报".
EACH_ROLE = r"(每个人|每人|各组)\S{0,4}(准备|汇报|分享|讲|演示)"
# What a broadcast asks of everyone besides the duties: "大家周五前在文档里写一下", "各位记得…".
GROUP_ASK = ("记得", "务必", "别忘", "必须", "一定要")
# A clause that reports what is going on asks nothing: "送到医院还在检查".
IN_PROGRESS = ("还在", "正在")
# A suggestion that closes a clause asks as well: "走采购吧", "新人的导师你来当吧", "回头清一下吧"; not
# agreeing, giving up or deferring ("行吧", "算了吧", "那就这样吧", "再说吧").
SUGGESTION = r"(?<![好行算样再是对了的])吧\s*[。！!~～]*\s*$"
# Optional for the reader: "你有空就来听听，不用准备".
OPTIONAL = (r"有空\S{0,2}(就|的话|可以)", r"(不用|无需|不必|不需要)\S{0,2}(准备|讲|发言|汇报)", r"可以来", r"想来的", r"随意", r"旁听")
# Wait until…, then: "等你们把问题都解决了再说" asks nothing now.
WAIT_UNTIL = r"^\s*(等|待)\S*再"
# The sender and the user together must: "这周我们必须把修复交付", "咱们得抓紧" (in a one-to-one chat).
WE_MUST = (r"(我们|咱们|咱)\S{0,8}(必须|一定要|务必|得(?![到了])|要在|需要在)",)
WE_MUST_ENGLISH = (r"we (must|need to|have to|should)",)
# A problem put to the user in the words of an alert: "[P2] order-api 延迟 P99 1.2s @李明".
ALERT_PROBLEM = (r"告警", r"报警", r"alert", r"Alert", r"ALERT", r"firing", r"FIRING", r"P(?<![A-Za-z0-9]P)[0-4](?![0-9A-Za-z])", r"【P[0-4]", r"阈值", r"不可用", r"5xx",
                 r"(使用率|错误率|成功率|延迟|P99|RT|堆积|积压)\S{0,6}\d")  # a number gone bad: "延迟 P99 1.2s"
# Someone else is on a problem already: "运维在处理", "郭峰在恢复".
HANDLED = (r"(在|正在)(处理|修|恢复|查|排查|跟进|解决|看|赶来)", r"处理中", r"修复中",
           # the sender found the cause: "复制中断查了，是从库一块盘坏了"
           r"查(了|过了|清楚了)[，,]?\S{0,2}是", r"(原因|根因)(是|找到了)", r"定位到")
# Someone is already repairing it: an office tool or a building, not the business, can wait.
REPAIRING = (r"(在|正在)(修|恢复|看|赶来)", r"修复中")
# Statements of a new rule, not a request ("周报改成周一上午交").
ANNOUNCE = ("改成", "改为", "调整为", "调整成", "以后", "今后", "起", "开始")
FORECAST = ("预计", "估计", "大概", "应该会", "可能")

# -- promises and open loops -------------------------------------------------------------------------
PROMISE_TIMES = ("先", "再", "稍后", "晚点", "回头", "待会", "等会", "一会", "马上", "这就",
                 "今晚", "今天", "明天", "明早", "后天", "上午", "下午", "晚上", "中午", "周[一二三四五六日天]",
                 "下周", "这周", "本周", "周内", "月底", r"\d+\s*点", "抽空", "尽快", "第一时间", "争取", "现在",
                 "等下", "饭后", "会后", "下班后", "回来后", "忙完", "晚些", "随后")
# The sender's promise in a clause of its own after one about the sender: "我约了师傅，后天上午过去".
PROMISE_GOING = r"^\s*(?:" + "|".join(PROMISE_TIMES[2:]) + r")\S{0,6}(过去|过来|上门|去你那|来修)"
# A promise without a subject: "正式邮件稍后发", "结果晚点同步".
LATER_SEND = r"(稍后|晚点|回头|随后|待会|等会|晚些)\S{0,2}(发|给|通知|同步|告诉|补上|补发)"
# The user waits for the other's word: "好的潘姐，等您消息".
AWAITING_YOU = r"等(你|您)\S{0,4}(消息|回复|通知|答复|确认|结果|好消息)"
# A wish or a question is no promise ("我们这边想做一次联调").
NOT_PROMISE = ("想", "打算", "希望", "要不要", "能不能", "可以吗")
# Telling now is no promise: "跟你同步一下，…", "…处理完了，跟你说一声".
TELLING_NOW = r"^\s*(?:还是|先|就|也|再)*(跟|和|给|向)(你|您)(同步|说|讲|汇报|通报|报告)一(下|声)"
# Someone else's promise to the whole group is not the user's loop ("材料我稍后发群里").
TO_THE_GROUP = ("大家", "群里", "群上", "各位")
PROMISE_VERBS = ("发", "给", "回", "告诉", "通知", "答复", "整理", "看", "叫", "找", "问", "查", "跟进", "跟一下", "处理",
                 "安排", "确认", "联系", "打", "改", "弄", "修", "提", "准备", "商量", "请示", "汇报", "约", "催",
                 "同步", "更新", "写", "出", "做", "补", "测", "跑", "过", "结论", "review", "check", "搞")
# "…发你", "给你结论", "回头跟你说": the sender will come back to the user.
TO_YOU = ("发", "给", "回", "还", "给到", "发到", "告诉", "通知", "答复", "回复", "跟", "联系", "打给", "找", "转给",
          "同步给", "传给", "带给", "寄给", "拿给")
# "I'll send the report tomorrow", not "I'll be OOO next week".
ENGLISH_PROMISES = (r"\b(i'?ll|i will|we'?ll|we will)\s+(\w+\s+)?(send|share|check|update|look|get back|follow up|reply|"
                    r"ping|fix|review|call|let you know|circle back|forward|post|write|prepare|confirm|take care)\b",
                    r"\bget back to you\b", r"^\s*will (send|share|check|update|follow up|get back)\b")
# When someone will come back: "下周", "月底", "周五前".
LATER_TIMES = ("稍后", "回头", "晚点", "改天", "过两天", "过几天", "下周", "下个?月", "明天", "后天", "月底",
               "周[一二三四五六日天]", r"\S{1,4}前")
LATER = "(?:" + "|".join(LATER_TIMES) + ")"
SOON = r"(下周|明天|后天|月底|周[一二三四五六日天]|过两天|稍后|晚点|回头)"  # when someone else will act
# The user's matter in someone else's hands: still being worked on, expected later, promised by others.
WAITING = (r"还在(走|审|批|签|想|查|看|等|排|处理|评估|确认|跑|谈|沟通|办|出|做|写|改|修|弄|调|测|讨论)", r"还在排队",
           r"(估计|预计|应该|大概|可能)\S{0,6}(能|会)\S{0,2}(拿到|给|出来|回|下来)",
           SOON + r"\S{0,3}前?\S{0,2}(打|转|付)过(来|去)",
           r"考虑(两|几|一)天", r"在走\S{0,6}流程", r"走流程", r"审批中", r"等待\S{0,10}审批", r"转交",
           r"等(?!保)\S{1,10}(审批|拍板|排期|签完|批|定|确认|回复|结果|消息|通知)", r"还没(下来|批|定|回)", r"处理中",
           r"(那边|对方|客户|他们|他|她)说\S{0,8}(给|回复|答复|告诉|通知|回)(我们|你)",
           # someone else promised an answer for later: "人家说下周给答复", "银行说周五前给我们"
           r"说\S{0,10}?" + LATER + r"\S{0,8}?(给|回|发)\S{0,2}(答复|回复|反馈|结果|消息|结论|回音|我们|你)",
           r"说\S{0,10}?" + LATER + r"\S{0,8}?(给|回复|答复|发过来)(?=$|[，,。！!])",
           SOON + r"\S{0,4}(打款|付款|到账|付|打给你|转给你)")
DEFERRED = (r"(明天|回头|改天|下周|见面|到时候?)\S{0,2}当面(再)?(聊|说|谈)",
            r"(稍后|回头|下周|下个?月|改天|以后|过两天|晚点|回来|周[一二三四五六日天]|月底|季度末|年底)[^，。！？,!?]{0,8}?"
            r"(再(说|聊|细聊|讨论|看|议|商量|定)|一起定|再议|讨论|商量)",
            r"再(说|聊|讨论|议)吧?$", r"先放一放", r"放一放", r"先搁", r"搁置", r"暂缓",
            # "这事回头聊", "下周再约"
            r"(回头|改天|下次|晚点|稍后|有空)(再)?(聊|说|谈|细聊|约)", r"(下周|改天|回头|下次|过两天)再约")
# A decision awaited: "还在等老板拍板", "公司下周定".
DECISION_AWAITED = (r"等\S{0,6}拍板|还在等\S{0,8}(定|批|决定)"
                    r"|(公司|老板|领导|上面|HR|委员会|管理层)\S{0,2}(下周|月底|明天|过两天|回头|年底|下个?月)\S{0,2}(定|决定|拍板|公布)")
# The user's own plan for later ("今晚我定位一下", "好，我下班去接", "14 号我大概率能去，回头再确认").
OWN_LATER = (r"今晚", r"明天", r"明早", r"明晚", r"后天", r"下周", r"回头", r"稍后", r"晚点", r"待会", r"等会", r"一会",
             r"下班", r"饭后", r"会后", r"月底", r"晚上", r"下午", r"中午", r"\d+\s*(号|点)", r"周[一二三四五六日天]",
             r"马上", r"这就")
# The user waits for someone's word: "明天中午前给我回个话", "搞定了跟我说一声".
OWN_AWAITS = (r"(给|跟)我\S{0,2}(回|说|答复|反馈|同步)", r"回我", r"告诉我", r"通知我")
# Someone reports back once others answer: "等他们回复我再同步", "等他们领导定了时间再通知".
REPORT_BACK = r"等\S{1,16}再(通知|同步|告诉|反馈|回复|答复|跟你说|说|发)"
REMINDER_LATER = (r"将(于|在)", r"天后", r"即将", r"到期", r"过期", r"快到期")

# -- meetings ------------------------------------------------------------------------------------------
MEETING_WORDS = (r"会议(?!室|纪要)", r"开会(?!呢|中)", r"参会", r"与会", r"议程", r"腾讯会议", r"飞书会议",
                 r"钉钉会议", r"会议号", r"日程", r"组织者", r"会议提醒", r"邀请你参加", r"邀请您参加")
# A calendar service announces meetings whatever its words.
CALENDAR_SENDERS = ("日程", "日历", "会议", r"(?i:calendar)")
# "周会", "评审会", "对齐会"…: a 会 after these is a meeting (not the verb 会).
MEETING_KINDS = ("回顾", "迭代", "周(?<![下这本上每]周)", "例", "站", "晨", "早", "夕", "月", "大", "短", "小", "电话", "视频", "线上",
                 "线下", "复盘", "评审", "对齐", "沟通", "验收", "分享", "启动", "碰头", "讨论", "说明", "交流", "汇报", "培训",
                 "协调", "研讨", "宣讲", "座谈", "见面", "述职", "对接", "澄清", "务虚", "动员", "总结", "周例",
                 "高层", "管理层", "全员", "部门", "项目", "需求", "技术", "规划", "季度", "月度", "年度", "临时",
                 "联调", "走查", "过稿", "答疑", "评估", "推进", "进度", "校准", "方案", "设计")
# 会 after a kind word is a meeting unless a longer word goes on: 会员, 会计, 会议室, 会被.
NOT_A_MEETING_AFTER = "员计话所费场长儿不被有让把用议前后上中的"
# "周二的会改到周三": 的会 is a meeting when the sentence goes on about it, not in "没完成的会影响绩效".
THE_MEETING = r"的会(?=[，,。！!？?\s]|$|改|取消|推迟|挪|延|提前|定|在|几点|时间|我|你|照常|地方|地点|换)"
# A day or time right before an event makes it a meeting: "周一评审", "下周二下午面试一个候选人".
DAY_WORDS = r"(?:今天|明天|后天|今晚|明早|下午|上午|晚上|下?周[一二三四五六日天]|\d+\s*号)"
# English words, whole (a Chinese character may touch them: "周五的1:1", not "on-call").
MEETING_ENGLISH = (r"meeting", r"call", r"sync", r"zoom", r"stand-?up", r"huddle", r"tech ?(sharing|share)",
                   r"town ?hall", r"all-hands", r"1\s*:\s*1", r"1-on-1", r"one-on-one", r"1on1", r"webex",
                   r"teams meeting", r"invite", r"tech ?talks?", r"webinar", r"kick-?off", r"retro(spective)?",
                   r"brown ?bag", r"demo day", r"sprint (review|planning)", r"briefing")
# After an event: it is over ("对齐过了") or only a purpose ("明天评审要用"), not announced.
NOT_AN_EVENT_AFTER = ("过了", "过", "完", "开完", "结束", "好了", "要用", "用", "前", "之前", "的", "意见", "结论", "材料", "报告",
                      "环境", "文档", "数据", "账号", "视频", "稿",
                      # work on site is no meeting: "周日晚上你们安排人现场值守"
                      "值守", "值班", "支持", "保障", "排查", "部署", "实施")
# Events that are meetings once a time, a change or a role comes with them.
MEETING_EVENTS = ("评审", "复盘", "述职", "面试", "面一个", "面个", "面两个", "现场", "踩点", "校准", "培训", "分享", "演示", "彩排", "拜访", "来访", "参观", "接待", "对齐",
                  "走查", "宣讲", "路演", "答疑", "答辩", "汇报", "沟通", "讨论", "review", "Review", "triage", "Triage",
                  "demo", "Demo", "interview", "workshop", "讲座", "沙龙", "面谈", "聊聊", "聊一下", "聊下", "碰一下",
                  "碰个头", "见一面", "电话沟通", "电话聊", "通个电话",
                  "语音沟通", "视频沟通", "研讨", "测评", "二面", "三面", "终面", "复面", "初面", "面一下", "面一面")
# Talking (聊聊, 碰一下) is a meeting only with a time: "方便聊聊吗" is not, "明早九点来我办公室，聊聊" is.
CHAT_EVENTS = ("聊聊", "聊一下", "聊下", "碰一下", "碰个头", "见一面", "电话聊", "通个电话")
# A gathering named by what it is about (家长会, 战略会, 经营分析会) at an hour: "下周三下午两点开家长会".
NAMED_MEETING_ENDS = "，,。；;！!？?、 \n"  # 会 ends the clause
NOT_NAMED_MEETING = ("机会", "社会", "体会", "误会", "理会", "领会", "学会", "工会", "协会", "一会", "待会", "等会", "约会",
                     "宴会", "舞会", "庙会", "委员会", "基金会", "不会", "也会", "都会", "就会", "还会", "该会", "将会", "才会",
                     "可能会", "们会", "我会", "你会", "他会", "她会", "展会", "博览会", "聚会", "年会", "晚会", "演唱会")
# Where people meet: a room code (A502, C301), a floor, a meeting room, someone's office, on site.
MEETING_PLACE = (r"楼(?:(?<=\d楼)|(?<=\d\s楼))", r"会议室", r"办公室", r"现场",
                 r"咖啡(厅|馆)", r"星巴克", r"茶(室|馆)", r"会客室", r"接待室", r"大堂",
                 r"[A-Z](?<![A-Za-z0-9-][A-Z])\d{3,4}(?=\s*[，,。；;)）]|\s*$)",
                 r"(在|地点\S?)\s*[A-Z]\d{3,4}")
# Going through something with others: "下周二下午和业务方过一下需求".
TOGETHER_EVENT = r"(和|跟|与|一起)\S{0,8}过一(下|遍)"
# An occasion referred back to and moved or cancelled: "现场那次挪到周四", "踩点那趟取消了".
OCCASION = r"(那次|那趟|那场|那个会)"
# A summons to the sender's office is a meeting only with a time ("明早九点来我办公室"); without one
# it is a request ("你来我办公室一下").
SUMMONS = ("来我办公室", "到我办公室", "来我这", "到我这", "来我工位", "到我工位", "来我座位", "来趟我", "过来一趟", "来一趟",
           # a customer's invitation: "下周二上午欢迎你们来我们公司看一下新产线"
           "来我们公司", "到我们公司", "来我司", "到我司", "来我们这")
RESCHEDULE = ("改到", "改在", "改成", "挪到", "推迟", "延期", "延后", "提前到", "提前至", "调整为", "调整到",
              "时间调整", "取消", "另行通知", "改期", "顺延", "换个人", "定在", "约在", "安排在", "照常", "moved", "cancel",
              "reschedul")
ATTEND = ("参加", "参会", "出席", "都来", "能来", "来吗", "一起去", "跟我一", "到场", "列席", "主持", "你来讲", "来讲",
          "带上", "准备一下", "准时", "聊一下", "聊聊", "碰一下", "碰个头", "见一面", "来我办公室", "到我办公室",
          "过来", "来一趟", "对一下", "过一下")
# The meeting's link or place promised for later is no open loop.
MEETING_LINKS = ("链接", "link", "Link", "地址", "会议号", "Zoom", "zoom", "会议室")
# Not a meeting: minutes, review comments, talk about a past meeting, the room itself, being busy.
# The sender will miss it: no announcement unless the reader gets a part ("明天的站会我请假，进展我晚上写群里").
MISSING_IT = r"我\S{0,2}(请假|不参加|参加不了|来不了|去不了|不去了)"
# Talk about a meeting room is none, unless a meeting moves there.
ROOM_CHATTER = (r"会议室\S{0,8}(订|预订|占|投影|维修|空)",)
NOT_MEETING = (r"纪要", r"评审意见", r"评审结论", r"在开会",
               # someone else is busy in a meeting: "王主任今天在卫健委开会，有事先找我"
               r"(主任|总|老板|领导|经理|他|她)\S{0,4}在\S{1,8}开会",
               r"谁在\S{0,8}开会", r"会的?(录屏|录像|录音|回放|PPT|ppt|资料|材料)", r"录屏", r"回放", r"开会回来", r"开完会", r"开会\S{0,2}(要用|用)",
               r"群聊",
               r"正在开会", r"开会呢", r"开会中", r"聚会", r"年会",
               r"(刚才|刚刚|上午|昨天|上次|之前)\S{0,4}会\S{0,2}(说|讲|提|定|聊)的?", r"(刚才|刚刚|昨天|上次|之前)的会",
               # a meeting only named as where to talk: "细节明天站会说"
               r"(站会|周会|例会|晨会|会上|会议上)上?再?(说|聊|讨论|细说|细聊)(?![一下])")
NOT_MEETING_ENGLISH = (r"notes", r"minutes", r"recap")
# Talk around a meeting ("会前看一下材料", "会后确认") is no announcement, unless the message also
# names the meeting with its time.
AROUND_A_MEETING = (r"会[前后上](?!午)",)
# A role in the meeting makes the invitation a to-do.  Being asked to attend or to talk (ATTEND) does not.
MEETING_ROLES = ("主持", "准备", "讲", "汇报", "演示", "带上", "带着", "带过来", "带来", "发言", "介绍", "分享一下", "替我", "代我", "代替",
                 r"你来?当", "present", "prepare", "host")

# -- what matters today ----------------------------------------------------------------------------
NEAR = (r"今天", r"今晚", r"今日", r"下班前", r"明早", r"明晚", r"明天(上午|中午|一早|早上|之前|就)", # (each begins with a plain word and looks back for the number, so the engine can skip ahead to it)
        r"点前(?:(?<=[\d一二三四五六七八九十两]点前)|(?<=\d\s点前))",
        r"小时内(?:(?<=[半一两二三1-9]小时内)|(?<=[半一两二三1-9]个小时内)|(?<=[半一两二三1-9]\s小时内)|(?<=1[0-2]小时内))",
        r"分钟内(?:(?<=\d分钟内)|(?<=\d\s分钟内))")
# "Now": a request with one of these is due at once.
NOW = (r"立即", r"立刻", r"马上", r"现在(?!的)", r"紧急", r"尽快", r"赶紧", r"赶快")
NOW_ENGLISH = (r"asap", r"urgent", r"now")
# In private life an hour is no deadline ("六点前去接一下孩子"); a formal date or alarm is.
PRIVATE_URGENT = (r"截止", r"逾期", r"马上", r"立刻", r"立即", r"赶紧", r"务必", r"必须", r"再不")
URGENT = NEAR + (r"超时",) + PRIVATE_URGENT
# Services down, in English: "prod login service is down in the EU region".
OUTAGE_ENGLISH = (r"(service|server|site|prod|production|api|database|db|login|system|cluster|app|gateway)s?\b.{0,30}"
                  r"\b(is|are|went|goes) down", r"outage")
# What takes a request's urgency away: "你找时间跟他对接一下", "有空帮我过一遍", "不急".
RELAXED = ("找时间", "找个时间", "有空", "抽空", "有时间", "方便的时候", "不急", "不着急", "不用急", "慢慢来")
# A sanction for missing a deadline: "未完成的影响本季度绩效", "逾期会影响社保缴纳", "到期不切通道会被停".
PENALTY = (r"(未|没|不)\S{0,8}(的|将|会|就|则)\S{0,3}(影响|扣|罚|处分|通报|追责|冻结|被停|停用|停掉|下线)",
           # "逾期按不合格处理"
           r"(逾期|未完成|没完成|未提交|不交)\S{0,4}(按|视为|算)\S{0,4}(不合格|旷工|放弃|违规|零分|缺勤)",
           r"(逾期|过期|到期|超时)\S{0,3}(将|会|就|则)?\S{0,2}(影响|扣|罚|处分|通报|冻结|被停|停用|停掉|下线|不予|不再|作废|视为)",
           r"(下线|停用|停服|关停|下架|回收)[^。！？!?\n]{0,16}(之?前|以前)",
           r"影响\S{0,6}(考核|绩效|评级|社保|公积金|奖金|工资|转正|晋升)",
           r"(未|没|不)\S{0,8}的\S{0,2}(不参与|不予|取消\S{0,4}资格|视为)", r"视为(放弃|自动放弃|未)")
MONEY = (r"(万|元|块)(?:(?<=\d万|\d元|\d块)|(?<=\d\s万|\d\s元|\d\s块))", r"¥\s*\d", r"￥\s*\d", r"\$\s*\d", r"费(?<=[\u4e00-\u9fff]费)(?<![消浪免续经收耗花]费)(?![力劲心时解])",
         r"超标", r"超支", r"备用金", r"借的?\s*\d+", r"水电",
         r"房租", r"房贷", r"借款", r"欠款", r"还款", r"冲账", r"罚款", r"滞纳金", r"预算", r"回款", r"付款", r"报价",
         r"账单", r"转账", r"打款", r"价格", r"单价", r"降价", r"首付", r"尾款")
# Money already paid or received: a receipt, settled ("你的报销已经打款了，注意查收").
MONEY_SETTLED = (r"(已|已经)\S{0,4}(打款|到账|付款|转账|支付|退款|退回|收到|入账|报销|冲账|还清|打到|转到|付至|发到|处理|解决)",
                 r"注意查收", r"请查收",
                 r"已收到", r"(冲账|还款|付款|报销|打款)\S{0,2}(完了|完成了|好了)")
MONEY_DECISION = (r"(合同|续签|续约|报价|预算)\S{0,6}(批了|同意了|定了|通过了)",r"预算\S{0,10}(批|砍|削|冻结|驳回|不足|不够|超|减半|取消|下来|通过|定了|落实|到位)",
                  r"(砍|削减|冻结)\S{0,4}预算", r"(单子|合同|订单)\S{0,3}签(下来|了|好|完)(?!吗)",
                  r"(定了?|谈妥了?|谈好了?)\S{0,4}合同", r"合同\S{0,6}(定了|谈妥|谈好|按\S{0,8}签)",
                  r"合同\S{0,10}(批不了|按原价|终止|取消|签了|签好|签完|签署)", r"超预算",
                  r"你\S{0,24}(驳回|被拒|未通过)",
                  # an amount or price decided, a payment held back or cut, a contract's terms refused
                  r"(费用|报价|价格|金额|合同额)\S{0,8}(批了|定了|确定)", r"(董事会|老板|领导|管理层)\S{0,4}(通过|批了|同意)了",
                  r"按\S{0,4}报价签",
                  r"(尾款|首付款|款项|回款|货款)\S{0,8}(扣|暂缓|冻结|拒付|不付|延期)", r"按合同扣",
                  r"(合同|协议|条款)\S{0,16}(不同意|要改|不接受|改不了|被拒)", r"(不同意|不接受|拒绝)\S{0,6}(合同|协议|条款)",
                  # money miscounted
                  r"(金额|账单|账目|对账)\S{0,4}(算错|错了|对不上)")
# Leisure is no decision about work: "公司决定今年年会延期".
LEISURE = ("年会", "团建", "聚餐", "聚会", "下午茶", "旅游", "出游", "生日会")
# A short planned window of an office tool is no outage ("VPN 网关切换，约 30 分钟不可用"); of the business it is.
PLANNED_WINDOW = r"(升级|切换|迁移|维护|割接|变更|演练)[^。！？!?\n]{0,16}\d+\s*分钟"
# Work planned ahead is no emergency, whatever it stops ("周六 0:00-4:00 机房网络割接，期间服务不可用").
PLANNED = ("升级", "切换", "迁移", "维护", "割接", "变更", "演练", "检修", "停机", "计划")
BUSINESS = ("支付", "交易", "下单", "收银", "结算", "清算", "线上", "生产", "用户", "客户")
# A matter closed: "书面说明收到，这事先这样".
SETTLED = (r"先这样", r"就这样吧", r"到此为止", r"翻篇", r"没事了")
# A contract or a price: a to-do about one matters ("续租合同签一下", "SLA 条款你们再确认一下").
CONTRACT = (r"合同(?!编号)", r"条款", r"S(?<![A-Za-z]S)LA(?![A-Za-z])", r"报价", r"续约", r"续签", r"补充协议", r"框架协议", r"违约")
# A project's date moved: "交期要往后推两周", "HIS 上线从 18 号提前到 15 号", "试运行推迟到 7 月".
MILESTONE_MOVED = (r"(上线|交付|验收|交期|工期|到货|投产|试运行|割接|封版)\S{0,10}(推迟|延期|延后|往后推|推到|提前到|提前至|改到|挪到|顺延)",)
# Work stopped for a whole team, also in a test environment: "我们这边全卡住了", "所有联调都停了".
WORK_STOPPED = (r"(全|都|全部|整个)\S{0,2}(卡住|卡死|停了|停摆|阻塞|干不了|动不了|进行不下去|做不下去)", r"谁都(连不上|用不了|登不上|进不去)",
                r"所有\S{0,8}(都|全)(停|卡)")
# The user's own promotion reviewed: a calendar's "晋升答辩 6 月 15 日 10:00".
PROMOTION_REVIEW = (r"(晋升|转正)(答辩|评审|面谈)",)
# A project won or lost, a bid, a review of the user's work decided.
PROJECT_DECIDED = (r"(标|单子|项目)\S{0,3}(没中|丢了|黄了|中了|拿下了)", r"丢标", r"中标了", r"没中标", r"过会了",
                   r"(立项|验收)\S{0,6}(通过|没通过|未通过|被否)(?![吗？?])")
# Someone of the user's team leaving: "王五要离职了", "我已经拿到别家 offer 了，月底前会提离职".
STAFF_LEAVING = (r"(要|会|提|想)\S{0,2}离职", r"辞职", r"拿到\S{0,6}offer")
# The top of the customer's or the company's organisation coming: "下周一市领导来中心检查".
TOP_VISIT = (r"(领导|局长|院长|市长|董事长|CEO|总裁)\S{0,4}(来|要来|视察|检查|调研|到场)",)
ESCALATION = (r"(取消|推迟|延期|改期)\S{0,4}[，,]?\s*(等|因为|由于)\S{0,6}(问题|bug|故障|修)",
              r"投诉", r"换供应商", r"骂", r"发火", r"一拖再拖", r"影响\S{0,6}(用户|客户|业务|生产)",
              r"索赔", r"赔偿", r"违约", r"差评", r"律师函", r"不满(?!足)", r"拖了\S{0,6}(还没|没)", r"向上反映",
              r"升级到\S{0,2}(领导|老板|上级|高层|管理层|总|VP|CEO)", r"发函", r"整改报告", r"书面(说明|整改|解释)", r"死命令",
              r"(老总|老板|领导)\S{0,2}(在问|在催|过问|亲自)", r"法律(程序|途径|手段)", r"起诉", r"仲裁",
              r"(终止|停止)合作", r"解约", r"不续约", r"找你们(老板|领导)", r"上报给?(领导|老板|上级|公司)", r"再这样\S{0,4}(下去|拖)",
              r"只能\S{0,6}(找|上报|投诉|换|走)")
OUTAGE = (r"事故", r"故障", r"宕机", r"不可用", r"崩溃", r"崩了", r"OOM", r"打满", r"死锁", r"P(?<![A-Za-z0-9]P)[01](?![0-9A-Za-z])",
          # a service answering errors in production: "退费接口 500 了", "生产上…退不了费"
          r"(接口|服务|系统|页面|网关)\S{0,2}5\d\d(?!\d)", r"(生产|线上)\S{0,12}(不了|不能用|用不了)",
          # numbers of a system growing worse: "主从延迟越来越大"
          r"(延迟|lag|积压|堆积|错误率|耗时|内存|CPU|cpu|连接数|线程数|慢查询)\S{0,4}越来越(大|高|多|慢|严重)",
          r"(全站|全网|整个|全量)\S{0,12}(失败|不可用|超时|报错|挂|打不开|不通)", r"(生产|线上)(出现|发生)",
          r"(冻结|暂停|停止)\S{0,4}(变更|合并|发布|上线|发版)", r"(变更|发布|上线)\S{0,3}(冻结|暂停)",
          # a system's number still rising: "线程数一直在涨", "消费堆积 120 万条，持续上涨"
          r"(数|量|率|内存|CPU|cpu|线程|连接|延迟|耗时|RT|负载|QPS|队列|堆积|积压|条)\S{0,6}(一直在涨|持续上涨|持续升高|持续增长|持续上升)",
          r"(堆积|积压)\S{0,6}(\d+\s*万|持续)", r"库\S{0,2}只读",
          r"重复(扣款|出款|支付|打款)",
          # failures at scale, in production, or resources running out
          r"(大量|大面积|批量|全量|成片|集中)\S{0,6}(超时|失败|报错|异常|5\d\d|掉线|卡顿|不通)",
          r"(生产|正式环境)\S{0,8}(问题|异常|报错|失败|超时|大量|大面积)",
          r"(磁盘|硬盘|内存|空间|带宽|连接数|连接池|CPU|cpu|队列|线程池|额度)\S{0,8}(只剩|不足|不够|写满|快满|满了|耗尽|占满|用完|撑不住|扛不住|快爆)",
          r"占了?\s*\d{2,3}\s*%\S{0,3}(带宽|内存|CPU|cpu|磁盘|连接)",
          # work that stops: "整个下午无法登录生产", "明天中午前都无法提交代码"
          r"(无法|不能|没法)\S{0,2}(登录|提交|合并|发布|部署|上线|构建|打包|访问)\S{0,2}(生产|代码|线上|服务器|仓库|环境|发布)",
          r"(暂停|停止|禁止)\S{0,4}(合并|提交|发布|上线|部署|发版)", r"(仓库|代码库|数据库)\S{0,8}只读(?!账号|权限|的|用户)",
          r"P[01](告警|故障)", r"停水", r"停电", r"断网", r"中断", r"断开", r"回滚", r"误杀", r"挂了",
          r"线上\S{0,8}(问题|异常|报错|失败|超时|掉|卡住|卡死|停了)", r"(报|返回|又|全是|一直)\s*5\d\d(?![\d元块万])", r"5xx",
          r"(错误|报错|异常|失败|超时|延迟|CPU|内存|负载)\S{0,6}(暴涨|飙升|激增|猛增|一直在涨|飙高)",
          # customers notice, messages get lost, parts time out, a service's numbers go bad ("成功率掉到 40%")
          r"(商户|客户|用户|门店|司机)\S{0,4}(已经|都|一直)?\S{0,2}(在问|在催|在投诉|投诉|找上门|炸了|打爆)",
          r"一直在?(丢|失败|报错|超时)", r"丢(消息|单|数据|包)", r"抖动",
          r"(部分|全部|所有|大批)\S{0,8}(超时|失败|报错|异常|不通)",
          r"(RT|rt|延迟|耗时|响应时间|P99|p99|成功率|错误率|失败率|超时率)\S{0,12}(涨到|升到|飙到|掉到|降到|跌到|跌破|掉了)",
          r"数据(丢失|泄露)", r"丢数据", r"被攻击", r"入侵", r"安全漏洞", r"资损", r"资金损失")
NOT_OUTAGE = (r"(如有|如果有?|若有|万一)\S{0,6}(故障|问题|异常|事故)",
              r"(用例|case|单测)\S{0,8}(挂|失败)",  # failed test cases: "47 个用例挂了 3 个"
              r"测试环境", r"测试机", r"staging", r"预发", r"开发环境",
              # over: "已恢复", "故障已经处理完了", "复盘结束了"
              r"(已|已经)\S{0,4}(恢复|处理|解决|修复|回落)", r"恢复(正常|了)", r"[\[【]恢复[\]】]", r"已解决", r"已修复",
              r"修好了",
              r"处理完", r"结束了",
              # an earlier one, recalled: "上次线上重复扣款就是这个原因"
              r"(上次|之前|以前|去年|上个月)\S{0,6}(线上|生产|事故|故障|重复|出过)",
              # a what-if ("线上有问题你先顶一下")
              r"有(问题|事|异常|情况)\S{0,1}(你|找|联系|随时|先|再|就|的话)")
DECISION = (r"决定(?<!你决定)(?!一下|吧)", r"研究决定", r"拍板了", r"宣布", r"(老板|领导|总|上面)\S{0,3}拍板(?!吧|吗)",
            r"(验收|上线|交付|截止)\S{0,6}(定了|确定)", r"不能再(延|拖)",
            r"(老板|领导|总监|公司|管理层|上面)\S{0,2}(定了|要求|批了|同意了|否了|拒了)",
            r"(老板|领导|总监|公司|管理层|上面)\S{0,2}说\S{0,12}(不做|砍|停|推迟|延期|取消|下个?版本|必须|一定要)",
            # a new rule from a date on: "下周一开始新的考勤制度"
            r"(下周[一二三四五六日天]?|下个?月|明天|今天|即日|本周|号|日)\S{0,2}(起|开始)\S{0,10}"
            r"(实行|执行|启用|新的?\S{0,4}(制度|规定|流程|政策|规范))",
            # the scope of the work cut or moved out: "分期付款这期砍掉", "这期不做了"
            r"(这期|本期|这个版本|本次|这次)\S{0,4}(不做|不上|砍|去掉|拿掉)", r"砍掉", r"砍了",
            r"(放到|挪到|推到|延到|推迟到)下(个|一)?(版本|迭代|季度|期)", r"经\S{0,6}(研究|讨论)",
            r"冻结(招聘|编制|HC|hc)",
            r"(即日|本周|下周|下月|下个月|明天|今天)起\S{0,10}(实行|执行|居家|停止|暂停|取消|冻结)")
# A meeting with the top of a company matters even when it only moves: "高层会议改到周三", "宋总会亲自参加".
TOP_LEVEL = (r"高层", r"管理层", r"董事会", r"亲自\S{0,2}(参加|出席|来|到场|主持)", r"C(?<![A-Za-z]C)(EO|TO)(?![A-Za-z])", r"V(?<![A-Za-z]V)P(?![A-Za-z])")
# A boss or customer stopping or moving the work ("项目验收推迟到下个月").
SENIOR_DECISION = ("推迟", "暂停", "终止", "叫停", "取消", "砍掉", "不做了", "换人", "延期",
                   # a boss deciding on the user's request or team: "HC 我这边同意了", "申请我批了"
                   "同意了", "批了", "批准", "不同意", "否了", "驳回")
CAREER = (r"(你|你的|你们组|你部门|你们部门)(?:(?!参加|会)\S){0,10}(调薪|加薪|涨薪|降薪|晋升|升职|升\s*P\d|职级|绩效|考核|调岗|转岗|"
          r"带\S{0,3}人|裁|转正|接手)", r"归你管", r"向你汇报", r"汇报给你",
          r"你\S{0,8}负责\S{0,6}(组|团队|部门|项目)", r"(交给|交由|归|由)你\S{0,4}(负责|管|牵头|接手)",
          r"(你们?组|你组|你部门|你们部门)\S{0,8}(HC|hc|编制|人头)\S{0,10}(批|给|定了|砍|冻结|争取|同意|下来|没了|取消|加|减)",
          # the user's team reorganised: "下季度开始你们组并到平台部"
          r"(你们?组|你组|你部门|你们部门|你的团队|你那个项目|你的项目)\S{0,8}(并到|并入|划到|划归|拆分|撤掉|撤销|合并到)",
          r"你\S{0,10}(兼任|担任|升任|任命)", r"(晋升|调薪|答辩|述职)\S{0,6}(名单|名额)\S{0,4}有你",
          r"晋升\S{0,6}(通过|批了|下来)", r"职级\S{0,3}(调|升)",
          # the user put forward: "今年优秀员工部门推荐了李明和唐雪"
          r"(推荐|提名)了?\S{0,2}你(?!的)")
SALARY = (r"(工资|薪资|薪水|奖金|年终奖|社保|公积金|期权)\S{0,8}(推迟|延迟|延后|暂停|停发|扣|调整|减|取消|批|晚)|降薪|减薪|裁员"
          r"|扣\S{0,6}(工资|薪资|奖金|绩效)|(调薪|加薪|涨薪|奖金|年终奖)\S{0,4}(方案|比例|名单)?\S{0,4}(定了|出来了|公布|下来了)")
# Routine care is no emergency ("体检报告出来了，有几项要复查").
ROUTINE_CARE = ("体检", "复查", "复诊", "配药", "拿药", "开药", "疫苗", "挂号", "看牙", "探望")
FAMILY_EMERGENCY = ("住院", "医院", "急诊", "发烧", "高烧", "摔", "骨折", "手术", "病危", "出事", "车祸", "受伤", "晕倒",
                    "抢救", "救护车", "去世", "过世", "病重", "走丢", "失联")
# Serious enough in a private one-to-one chat without naming a relative ("豆豆发烧 39 度，我带他去儿童医院了").
FAMILY_SEVERE = (r"高烧", r"急诊", r"住院", r"晕倒", r"抢救", r"救护车", r"车祸", r"骨折", r"手术", r"走丢", r"失联", r"病危",
                 r"\d{2}(\.\d)?\s*度")
# A one-to-one talk with the boss is routine unless something rides on it ("咱俩做个1:1，聊聊下半年的规划").
CHAT_MEETING = (r"聊聊", r"聊一下", r"聊下", r"(?<![\d:])1\s*[:：]\s*1(?![\d:])", r"(?i:1on1|one-on-one)", r"碰一下", r"碰个头",
                r"来我办公室", r"来我这")
KIN_AFTER_YOU = "妈爸姐哥弟妹家爷奶外姥老"  # 你妈, 你姐: a relative of the user, not the user
KIN = ("爸", "妈", "儿子", "女儿", "孩子", "宝宝", "老婆", "老公", "爷爷", "奶奶", "外婆", "外公", "姥姥", "姥爷", "家里",
       "家人", "岳父", "岳母", "公公", "婆婆",
       # a brother or sister with whose they are: "你哥", "表弟"; not a form of a name (明哥, 潘姐)
       r"(我|你|他|她|大|二|三|小|表|堂)(哥|姐|弟|妹)")
ALERT = ("告警", "报警", "alert", "Alert", "alarm", "FIRING", "P0", "P1")
LOW_SEVERITY = r"\bP[2-4]\b|P[2-4](告警|级)|(?i:warning|warn)\b"  # an alert the owner handles without hurry

# A shared article, video or file: its title is no message to the user ("[链接] 这五种食物千万不能一起吃").
SHARED = r"^\s*[\[【](链接|视频|文件|公众号|小程序|视频号)[\]】]"

# -- automated notices -----------------------------------------------------------------------------
OWNER_LABELS = ("负责人", "负责的", "名下", "提交者", "作者", "处理人", "指派给", "owner", "Owner", "assignee", "Assignee",
                "发起人", "触发人", "提单人", "当前节点", "评审人", "审查人", "审阅人", "reviewer", "Reviewer",
                "Review requested", "review requested")
# The label right before the name makes the user the owner: "负责人：李明", "当前节点：李明", "Review requested from 李明";
# or a setting after it: "赵磊 将 李明 设为 MR !733 的评审人".
OWNER_BEFORE = (r"(?:负责人|处理人|指派给|分配给|提交者|作者|触发人|提单人|当前节点|当前处理人|评审人|审查人|审阅人|"
                r"[Oo]wner|[Aa]ssignee|[Rr]eviewers?|[Rr]eview requested|[Aa]ssigned)\s*[：:=]?\s*(?:为|给|是|from|to)?\s*@?$")
OWNER_AFTER = (r"^\s*(?:(?:设为|设置为|指定为|指派为|被指派为|添加为)\S{0,30}?(?:评审人|审查人|审阅人|[Rr]eviewer|负责人|处理人|[Oo]wner)"
               r"|(?:评审|审查|审阅|[Rr]eview)(?!过|了|完))")  # "王五 请求 李明 评审 MR !88"
# On duty counts only for an alert ("【P3】日志盘 82%｜当前值班：李明"), not for the rota ("本周值班人：李明").
ON_CALL_BEFORE = r"(?:值班人|当前值班|值班负责人|值班|[Oo]n-?call)\s*[：:=]?\s*(?:为|是)?\s*@?$"
ALERT_SIGNS = (r"告警", r"报警", r"alert", r"Alert", r"FIRING", r"【紧急】", r"P(?<![A-Za-z0-9]P)[0-4](?![0-9A-Za-z])", r"P[0-4](告警|级)", r"【P[0-4]",
               r"使用率", r"错误率", r"成功率", r"阈值", r"堆积", r"积压", r"不可用", r"宕机", r"失败", r"超时", r"5xx",
               r"持续\S{0,4}(上涨|升高|\d+\s*分钟)")
APPROVAL_FOR_ME = (r"(到达|已在|停留在?|在)你处", r"待你(审批|处理|确认|审核)", r"催(你|您)",
                   r"(你|您)(名下)?有[^，。]{0,30}?(待审批|待处理|待确认|待审核|待评审|待办)",
                   r"需(要)?(你|您)\S{0,12}(处理|审批|确认|审核|评审)",
                   r"请(你)?(审批|审核)", r"需要你(审批|处理|确认)")
MY_REQUEST_PENDING = (r"你(提交|发起|申请)的[^。]*?(等待|审批中|转交|转给|处理中|流转|当前处理人|当前节点|待(审|处理|确认|批|办))"
                      r"|(你|您)(提交|发起|申请)?的[^。]*?(正在|在)[^，。你您]{1,10}处(审批|审核|处理|签)")  # "你的采购申请正在王总处审批"
# Something of the user's booked or submitted that failed, and what the service asks about it: "您购买的
# G102 次列车因故停运，请及时办理改签或退票", "你提交的采购申请被驳回…请修改后重新提交".
MINE_FAILED = r"(你|您)(的|购买|预订|预定|提交|发起|申请|报名)[^。]{0,40}?(停运|取消|延误|改期|驳回|退回|被拒|未通过|不通过|失败)"
FAILED_ASKS = (r"请\S{0,10}(修改|重新|改签|退票|退款|补充|补齐|办理|处理|选择|重填|更正)", r"(修改|改)(后|完|好)", r"重新(提交|发起|申请|填)",
               r"须(你|您)", r"需(要)?(你|您)")
# A calendar invitation that asks for an answer: "请回复是否参加", "请确认是否出席".
RSVP = (r"(回复|确认|告知|反馈)\S{0,4}(是否|能否)", r"是否(参加|出席|参会|能来)", r"(接受|拒绝)\S{0,2}邀请", r"(?i:rsvp)")
# A bill or a renewal of the user's, due later: "您本期账单 ¥8,326.50，到期还款日 6月20日", "您的域名将于 7 天后到期，请及时续费".
DUE_OF_MINE = r"(你|您)(的|尾号|名下|本期|本月|有)"
DUE_LATER = (r"将(于|在)", r"天后", r"即将", r"到期", r"过期", r"还款日", r"最后缴费日")
RENEWAL = (r"续费", r"续订", r"续期", r"续签", r"续约", r"还款", r"缴费", r"缴纳", r"应还", r"账单")
OWED = r"(应还|待还|账单|欠费|待缴|应缴|未缴|最低还款)[^，。]{0,12}?(\d|[¥￥])"
# A service's offer is no bill: "你有一张 4.8 折券即将过期".
OFFER = (r"\d(\.\d)?\s*折", r"券", r"优惠", r"特惠", r"立享", r"礼包", r"会员日")
RECOVERED = ("恢复", "通过", "成功", "已解决", "已处理", "已完成")

# -- scams and phishing ----------------------------------------------------------------------------
# Someone poses as the boss on a new account: "我是陈总，这是我私人微信", "加我这个新微信".
IMPERSONATION = (r"我是\S{0,4}(总|领导|老板|经理|主任|局长|处长|董事长)", r"这是我的?(新|私人|另一个)?(微信|号|手机号)",
                 r"换了?个?新?的?(号|微信|手机号|微信号)", r"加我\S{0,4}(新)?(微信|QQ|qq)", r"不方便接电话",
                 r"不要告诉(别人|任何人)", r"私人号", r"别(给我)?打电话", r"新微信", r"旧号", r"(别|不要)声张")
MONEY_URGENCY = (r"转账", r"汇款", r"打款", r"转给", r"垫付", r"保证金", r"借我", r"周转", r"急需", r"急用", r"先借",
                 r"笔款", r"[转汇打借]\S{0,3}钱", r"一笔钱", r"[转汇打]\S{0,8}\d+\s*(万|元|块)", r"款\S{0,8}转",
                 r"转\S{0,4}款", r"笔\S{0,2}款", r"垫(付|一下|上|着|点)", r"(打|转)给(对方|他|她|供应商|客户)",
                 r"付给", r"[转打汇存][到进入]\S{0,6}(账户|账号|卡)", r"安全账户", r"\d+(\.\d+)?\s*万",
                 r"(账户|账号|卡上?)\S{0,3}[转汇打存]", r"[转汇打]\s*\d{1,3}(,\d{3})+", r"定金", r"押金")
# Secrecy or a sudden favour asked by someone who cannot be checked: "先别声张", "有个急事要你帮忙".
SECRECY = (r"(别|不要|先别|不用)\S{0,2}(声张|告诉|说出去|外传)", r"保密", r"急事", r"帮个忙", r"帮我个忙", r"私下")
# Money to an account the message gives: "转到这个账户：6217 0033 **** 5521", "打到新账户".
GIVEN_ACCOUNT = (r"(转|打|汇|付)(到|至|入|进)\S{0,4}(这个|以下|下面|该|新|对方)\S{0,2}(账户|账号|卡)",)
DISTRESS = (r"被偷", r"丢了", r"出事了", r"急！", r"急!", r"救急", r"在外地")
LURES = (r"积分\S{0,6}(清零|兑换|过期)", r"中奖", r"领取\S{0,6}(奖|补贴|退税|红包|赔偿|赔付)", r"退税", r"理赔",
         r"赔付", r"[3三双]\s*倍", r"(添加|加)\S{0,3}客服", r"客服(微信|QQ|qq)", r"(账号|账户)\S{0,4}(异常|冻结|风险|被盗)",
         r"(冻结|解冻)", r"自动(扣费|续费)", r"刷单", r"兼职", r"银行卡信息", r"验证码", r"(完成|身份|安全)验证",
         r"验证身份", r"(过期|失效|冻结|异常)[^。]{0,60}(认证|激活|解冻|验证)", r"违章", r"(欠费|停机|补缴|罚款)")
# Gains promised to whoever joins: "带朋友一起做，收益翻倍，要不要了解一下", "一个月收益 30%，带你一起赚".
PROMISED_GAINS = (r"(收益|回报|利润|盈利|分红|返利)\S{0,8}(翻倍|翻番|\d+\s*%|[两三四五六七八九十百]倍|稳|保本|保底)",
                  r"稳赚", r"躺赚", r"(日|月|周)赚", r"(日|月)入\s*\d", r"(翻倍|翻番)\S{0,4}(收益|回报|赚)")
RECRUITING = (r"带(你|您|朋友|大家|上)", r"一起(做|赚|投|玩|发财)", r"了解一下", r"(进|入|拉你进)群", r"跟单", r"带单", r"私(我|聊)",
              r"名额", r"加(我|微信|V|v)", r"入金", r"内部(消息|渠道|名额)", r"门槛")
# Paid small tasks ("给视频点赞，一单 3 元，当天结算"): the commonest fraud begins with a first small payout.
PAID_TASKS = (r"(点赞|关注|好评|刷单|做单|做任务|接单|打字|抄写)[^。！？!?\n]{0,16}(一单|每单|单价|佣金|返利|结算|日结|\d+\s*元)",
              r"(一单|每单|一个)\s*\d+(\.\d+)?\s*元[^。！？!?\n]{0,6}(当天|当日|日|秒|立即)结")
# A fee to pay before an opportunity is given: a job round, a loan, a prize, a frozen balance.
UPFRONT_FEE = (r"(先|需|需要|须|必须|请)\S{0,8}(缴纳|交|支付|付|转)\S{0,10}(测评费|保证金|手续费|解冻费|激活费|会员费|"
               r"服务费|培训费|押金|认证费|工本费|公证费|刷流水)",)
OPPORTUNITY = (r"岗位", r"录用", r"入职", r"面试", r"(进入|通过)\S{0,4}(下一轮|初筛|复试)", r"贷款", r"放款", r"额度",
               r"中奖", r"奖金", r"奖品", r"名额", r"提现", r"解冻", r"到账")
LINK_ACTION = (r"点击\S{0,4}(链接|网址|下方)", r"https?://", r"登录\S{0,6}(网址|链接)")
BARE_DOMAIN = r"(?<![\w.@])[A-Za-z0-9-]{2,}\.(cn|com|net|cc|top|xyz|vip|info|co|me|io)(/[\w/-]*)?(?![\w.])"
AMOUNT = (r"\d{3,}", r"笔款", r"钱")
CONTACT = ("客服", "QQ", "qq", "微信")
# A way out of the chat besides a link: a QR code, a "customer service" or "specialist" to add.
QR_OR_AGENT = (r"二维码", r"扫码", r"扫一扫", r"扫描\S{0,4}码", r"长按识别", r"(添加|加)\S{0,3}(客服|专员|助理|工作人员|对接人)",
               r"客服(微信|QQ|qq|电话)", r"下载\S{0,8}(APP|App|app|软件|客户端)", r"屏幕共享", r"共享屏幕")
# What a lure dangles or threatens: a credential, the bank card, a refund, subsidy or prize, an account
# frozen or expiring, a payment.
BAIT = (r"银行卡", r"卡号", r"开户行", r"身份证", r"退税", r"退款", r"退费", r"补贴", r"补助", r"津贴", r"补偿", r"赔偿",
        r"返现", r"返利", r"中奖", r"奖品", r"领奖", r"红包", r"(账号|账户|邮箱|卡|会员|社保|医保|ETC|etc)\S{0,8}"
        r"(冻结|停用|过期|失效|到期|注销|异常|清零|受限|已满|风险|被盗)", r"(欠费|停机|补缴|罚款|违章|缴费|扣费)",
        r"稳赚", r"高收益", r"年化", r"征信", r"额度", r"贷款", r"借呗", r"花呗", r"白条", r"(支付|付|交)\S{0,4}(运费|手续费|激活费|解冻费|保证金)", r"抽奖\S{0,4}(中|获得)")
# Bait of a credential works with pressure ("今日24:00过期，请立即点击…"): a colleague's "用域账号登录 wiki" is none.
CREDENTIAL_BAIT = (r"密码", r"验证码", r"动态码", r"登录\S{0,2}(查看|确认|领取|验证|办理|核对)",
                   r"(完成|身份|安全|实名)(验证|认证)", r"(重新|立即|尽快)(认证|激活|验证|登录)",
                   r"(账号|域账号|工号|邮箱)\S{0,6}登录", r"注销", r"绑定")
PRESSURE = (r"今日", r"今天", r"小时内", r"立即", r"立刻", r"马上", r"尽快", r"逾期", r"否则", r"过期", r"到期", r"停用", r"冻结",
            r"失效", r"作废", r"视为放弃", r"截止", r"永久")
PRESSURE_ENGLISH = (r"within", r"immediately", r"urgent", r"expire[sd]?", r"suspend(ed)?", r"today")
CREDENTIAL_BAIT_ENGLISH = (r"password", r"verify", r"verification", r"mailbox", r"quota", r"credentials", r"sign[- ]?in")
# Asking for what opens an account or moves money: "请回复验证码", "填写银行卡信息", "你的邮箱密码发我".
HAND_OVER = (r"(提供|填写|填一下|输入|告知|告诉|发送|发我|发给|回复|登记|核实|核对|提交|上传|报一下)\S{0,10}"
             r"(密码|验证码|动态码|银行卡|卡号|身份证|账户信息|CVV|cvv|卡背)",
             r"(密码|验证码|银行卡|卡号|开户行|身份证号?)\S{0,8}(发我|发给我|告诉我|给我|报给我)")
# Nobody genuine asks for these: a one-time code, the card's security code, the user's own password.
SECRET_ASKED = (r"(验证码|动态码|CVV|cvv|卡背)", r"(你|您)的?\S{0,8}密码\S{0,6}(发|告诉|报|给)")
# A sender named like a desk, department or service rather than a person ("IT服务台", "人力资源部", "银行客服").
OFFICIAL_LOOKALIKE = (r"服务台", r"服务中心", r"管理中心", r"安全中心", r"客服", r"人力资源", r"人事", r"H(?<![A-Za-z]H)R(?![A-Za-z])",
                      r"财务部", r"财务处", r"财务中心", r"行政部", r"IT部", r"信息部", r"信息中心", r"运维中心",
                      r"管理员", r"官方", r"中心$", r"部$")
# A question the sender weighs, not one put to the user: "二期要不要加对接，我先跟老板汇报，明天给你消息".
DELIBERATION = r"(.)不\1"
# Talk about a scam or a warning against one is none: "这是不是骗子？", "谨防冒充 IT 的钓鱼邮件".
SCAM_AWARE = ("诈骗", "骗子", "骗局", "是不是骗", "钓鱼", "防骗", "反诈", "冒充", "仿冒", "假冒", "谨防", "警惕",
              "请勿点击", "不要点击", "切勿点击", "别点")

# -- what a message is about -----------------------------------------------------------------------
NOTICE_TOPIC = "通知公告"  # a broadcast or announcement: the digest's notices
TOPIC_WORDS = {
    "会议": ("会议", "开会", "参会", "例会", "周会", "站会", "评审", "议程", "腾讯会议", "飞书会议"),
    "周报": ("周报", "日报"),
    "报销财务": ("报销", "付款", "回款", "账单", "房租", "转账", "合同", "预算", "发票"),
    "发布运维": ("发布", "告警", "值班", "压测", "停电", "机房", "上线", "故障"),
    NOTICE_TOPIC: ("@所有人", "@全体", "通知", "公告"),
    "快递": ("快递", "取件", "快件"),
    "聚会活动": ("聚会", "羽毛球", "吃饭", "年会", "生日"),
}
