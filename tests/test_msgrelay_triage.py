"""The sorting rules on representative messages, the digest's order and the alias list."""

import datetime as dt
import unittest

import test_msgrelay_support  # noqa: F401 - puts the checkout on the path

from msgrelay.config_store import apply_payload, default_config
from msgrelay.demo_data import Event
from msgrelay.notify import decide
from msgrelay.store.held import EventList
from msgrelay.triage import answers, classify, kinds, patterns, pinyin, stored, week, wire
from msgrelay.triage.search import Finder, message_key, query_key
from msgrelay.triage.digest import Digest
from msgrelay.triage.sorting import Profile, Sorting, sort_message

AT = dt.datetime(2025, 6, 11, 15, 0).astimezone()  # a Wednesday afternoon
USER = {"display_name": "王雪", "aliases": ["雪姐", "Snow"]}  # not the user of the labelled sets

# (chat kind[:group name], sender, text, flags: T to-do, M meeting, I important, F follow-up, S suspicious, N notified though
#  nothing is asked (it names the user, or it is urgent), Q not notified though asked (a chore of everyone's);
#  deadline or "-").  A to-do is notified too.
MESSAGES = [
    # who it is for: one-to-one, @, name forms derived from the name (王工, 小王), an alias, a task named
    ("direct", "赵四", "部署脚本你再改一下", "T", "-"),
    ("group", "赵四", "@王雪 接口文档第 3 节帮忙确认下", "T", None),
    ("group", "赵四", "@钱七 接口文档第 3 节帮忙确认下", "", None),
    ("group", "赵四", "@王雪琪 接口文档第 3 节帮忙确认下", "", None),  # a longer name is someone else
    ("group", "赵四", "欢迎王雪琪加入，王雪明天带她熟悉环境", "N", None),
    ("group", "赵四", "这个问题王雪之前写过排查手册，wiki 上搜一下就有", "N", None),
    ("group", "赵四", "@王雪你看下这个告警", "T", None),
    ("group", "赵四", "王工，明早 9 点前把部署清单发我", "TI", "06-12 09:00"),
    ("group", "赵四", "小王 这个告警你看一下", "T", None),
    ("group", "Kate", "Snow, can you check the build?", "T", None),
    ("group", "赵四", "Snowball 的版本升级了，大家看一下", "", None),
    ("group", "赵四", "纪要：1. 上线定周四 2. 王雪负责压测方案", "TI", None),
    ("group", "赵四", "有人知道测试环境的地址吗？", "", None),
    ("group", "赵四", "回复 王雪：那灰度先开 10% 还是 30%？", "T", None),  # a reply aimed at the user
    ("group", "采购-钱七", "采购被退回了，预算科目不对，需要王雪重新提", "TI", None),
    ("group", "Kate", "@王雪 PTAL at the rollback script when you get a chance", "T", None),
    ("group", "Kate", "@all prod login is down in the EU region, everyone on backend please jump in now", "TI", "06-11 15:00"),
    ("group", "Kate", "Hi Wang Xue, the deploy doc needs a final look, pls check before Thu", "T", "06-12 18:00"),  # in Latin letters
    ("group", "Kate", "Xue, could you review the rollout plan?", "T", None),
    ("group", "Kate", "Wang Xuefeng, could you review the rollout plan?", "", None),  # someone else
    ("group:二班家长群", "刘老师", "@王雪(乐乐妈妈) 明天记得给孩子带水彩笔", "T", None),  # a group nickname in brackets
    ("group:华腾对接群", "华腾-小林", "方便的话把接口文档再发一版给我们，谢谢王工", "T", None),  # the name closing it
    ("group", "赵四", "各组长周五前把本组的 OKR 发我", "TQ", "06-13 18:00"),  # a role of the user's
    # a customer's chat: 你们 is the user's team
    ("group:华腾对接群", "华腾-林经理", "紧急！今天的运单全部推送失败，请你们马上查一下！", "TI", "06-11 15:00"),
    ("group:华腾对接群", "华腾-林经理", "验收推迟到下个月，等你们把问题都解决了再说", "IF", None),
    ("group", "王雪", "好的，我今晚把压测报告发群里", "F", "06-11 22:00"),
    # requests without keywords, and what only looks like one
    ("direct", "赵四", "晚上回来带瓶酱油", "T", "06-11 22:00"),
    ("direct", "赵四", "你那边能重启一下测试机吗", "T", "-"),
    ("group", "赵四", "@王雪 上线前再做一次回归", "T", None),
    ("direct", "赵四", "你的发票还没交，月底前交一下", "T", "06-30 18:00"),
    ("direct", "赵四", "你提交的包登录页有个崩溃", "TI", None),
    ("direct", "赵四", "天冷了多穿点衣服", "", None),
    ("direct", "赵四", "你那边的灰度先停两台", "T", None),
    ("direct", "赵四", "旧网关下月停用，你们得在这之前切到新网关", "TI", None),
    ("direct", "赵四", "磁盘只剩 5% 了，日志再不清就写满", "TI", None),
    ("direct", "赵四", "这个脚本你写得挺巧的", "", None),
    ("direct", "赵四", "她明天过来帮忙搬家", "", None),
    ("direct", "赵四", "谢谢，已经搞定了", "", None),
    ("direct", "赵四", "文档我找到了，不用麻烦了", "", None),
    ("direct", "赵四", "这个方案不行，重写", "T", None),
    ("direct", "钱总", "你申请的测试服务器我同意了，走采购吧", "TI", None),  # a suggestion closing a clause
    ("direct", "赵四", "你那个采购申请要补一份三家比价单，不然财务那关过不了", "T", None),  # an obligation put to the user
    ("group", "赵四", "@王雪 评审意见汇总好了，消息队列选型补一份 Kafka 和 Pulsar 的对比", "T", None),  # a deliverable wanted
    ("direct", "赵四", "周六那顿改周日晚上行不 我周六要加班", "T", None),  # a space ends the question
    ("group", "赵四", "@王雪 自助终端那个按钮点了没反应，今天已经好几个用户投诉了", "TI", None),  # a problem not yet solved
    ("direct", "爸爸", "[链接] 震惊！这几种水果千万别空腹吃，赶紧转给家人", "", None),  # a shared article's title
    ("direct", "赵四", "行，那就等你明天确认", "F", None),  # the sender waits for the user
    ("direct", "钱总", "这周我们必须把修复交付给客户", "TI", "06-13 18:00"),
    ("direct", "钱总", "来我办公室一趟", "TI", None),
    ("direct", "钱总", "你来我办公室一下", "TI", None),
    ("direct", "钱总", "明早九点来我办公室，聊聊下半年的规划", "M", None),
    ("direct", "赵四", "你的调薪申请已通过，下月生效", "I", None),
    # a group's duty for everyone, not a conditional or informational broadcast
    ("group", "赵四", "@所有人 本周五前完成年度安全考试", "TQ", "06-13 18:00"),
    ("group", "赵四", "@所有人 下周三团建，想去的在表格里报名", "", None),
    ("group", "赵四", "周日爬山，大家报名", "", None),
    ("group", "赵四", "@所有人 周四前在系统里登记值班时间，逾期不予排班", "TIQ", None),
    ("group", "赵四", "@所有人 今晚 20:00 发布，支付组的同学请保持在线", "TIQ", "06-11 20:00"),
    ("group", "赵四", "@所有人 今天 14:00 核心交换机升级，办公网会中断", "I", None),
    ("group", "赵四", "@所有人 今天 14:00 GitLab 停机迁移，期间无法提交代码", "I", None),
    ("group", "赵四", "@所有人 P0！网关全部超时，所有人现在立即上线排查", "TI", None),
    ("group", "赵四", "@所有人 还没填写体检预约的同事请在周三前填写，已填写的忽略", "", None),
    ("group:二班家长群", "刘老师", "@所有人 请家长们今晚 9 点前在小程序里完成信息填报，明早我把没填的名单发群里", "TQ",
     "06-11 21:00"),  # the sender's own follow-up is no condition
    # promises and open loops
    ("direct", "赵四", "需求清单我整理完发你", "F", None),
    ("direct", "赵四", "报价的事我跟老板商量一下，稍后回复你", "F", None),
    ("direct", "赵四", "我这边先去吃饭，回来再细聊", "F", None),
    ("direct", "赵四", "权限我已经提单了，等 IT 审批", "F", None),
    ("direct", "Kate", "I'll send the report tomorrow", "F", "06-12 18:00"),
    ("direct", "Kate", "Heads up: I'll be OOO next week, ping Tom for anything urgent", "", None),
    ("direct", "Kate", "Could you please send me the API spec by EOD?", "T", "06-11 18:00"),
    ("group", "Kate", "@王雪 the deploy is blocked on your approval, can you approve it now?", "T", "06-11 15:00"),
    ("group", "赵四", "这个需求我再确认一下，明天给大家答复", "", None),
    ("group", "赵四", "上线日期还在等老板拍板", "F", None),
    ("direct", "赵四", "发布日志你帮我导一份，我晚点要看", "T", None),
    ("direct", "赵四", "清单我明早整理好发你确认", "F", None),
    ("direct", "赵四", "提醒一下，你的体检预约在下个月", "F", None),
    ("group", "赵四", "供应商说下周给报价，到时候我转给王雪", "F", None),  # named, but only a promise
    ("group", "赵四", "雪姐，客户账号那边我催过了，他们说明天下午给", "F", "06-12 18:00"),
    ("direct", "赵四", "尾款的付款单已经提交了，月底前应该能打过去", "F", "06-30 18:00"),
    ("direct", "房东", "空调漏水的事我约了师傅，后天上午过去", "F", "06-13 12:00"),
    ("direct", "赵四", "二期要不要加对接，我得先跟老板汇报，明天给你消息", "F", None),
    ("direct", "赵四", "兄弟，能借我 500 块吗，下周还你", "TI", None),  # a question to the user, then a promise
    ("direct", "赵四", "你的职级调整我已经报上去了，等人力委员会月底定", "IF", None),
    ("direct", "HR-孙七", "恭喜雪姐，晋升评审通过了，正式邮件稍后发", "IF", None),
    ("direct", "钱总", "跟你同步一下，华腾的付款问题法务已经处理完了", "", None),
    ("direct", "王雪", "好的，等您消息", "F", None),
    ("group", "王雪", "今晚加班，下周再说", "F", None),
    ("group", "王雪", "今晚我定位一下，明早给结论", "F", None),  # the user's own plans
    ("direct", "王雪", "好，我下班去接", "F", None),
    ("group", "王雪", "18 号晚上 10 点，那边已经确认过了", "", None),
    ("group", "王雪", "大家辛苦，周五前把上线 checklist 都过一遍", "", None),
    ("group", "王雪", "14 号我大概率能去，回头再确认", "F", None),
    ("direct", "王雪", "明天的站会我请假，进展我晚上写群里", "F", None),
    ("group", "王雪", "@钱七 你先帮我问问有没有现货，明天中午前给我回个话", "F", None),  # the user waits for an answer
    ("direct", "王雪", "今天太乱了，这事回头聊", "F", None),
    ("group", "赵四", "等他们回复我再同步", "F", None),  # reporting back once others answer
    ("group:华腾对接群", "华腾-小林", "另外提醒一下，维保 12 月底到期，续保报价我下周发您", "F", None),  # 您 in a group
    ("group", "赵四", "今晚我加个班把接口联调完，明天上午给雪姐一个结论", "F", None),
    ("group", "赵四", "王工，证书我们已经提交续期了，大概明天下午能下来", "F", None),
    ("direct", "钱总", "明天的一对一取消吧，我临时要去省里开会，下周再约", "MF", None),
    # automated senders
    ("direct", "审批", "你提交的「报销单-差旅」正在等待财务审批", "F", None),
    ("direct", "审批", "钱七提交的「请假申请」流程到达你处，请审批", "TI", None),
    ("direct", "审批", "你发起的「采购申请」已流转至财务，当前处理人：钱七", "F", None),
    ("group", "告警机器人", "【P1告警】支付网关不可用，负责人：王雪", "TI", None),
    ("group", "告警机器人", "【恢复】支付网关已恢复正常，负责人：王雪", "", None),
    ("group", "告警中心", "[恢复] member-api 5xx 错误率已回落至 0.1%，本次异常持续 12 分钟", "", None),
    ("group", "告警机器人", "【提醒】证书将在 30 天后过期，负责人：王雪", "F", "07-11 18:00"),
    ("group", "告警机器人", "[P2 FIRING] 证书将在 7 天后过期，负责人：王雪", "T", None),  # an alert firing is for now
    ("official", "菜鸟驿站", "您的快递已到驿站，请及时领取", "", None),
    ("group", "告警机器人", "【P2】订单服务 5xx 错误率 12% @王雪", "TI", None),
    ("group", "GitLab", "赵四 将 王雪 设为 Merge Request !42 的评审人", "T", None),
    ("group", "夜莺告警", "【P3】日志盘使用率 82%｜当前值班：王雪", "T", None),
    ("group", "值班机器人", "本周值班人：王雪，如有紧急故障请直接电话联系", "", None),
    ("official", "IT服务台", "工单【笔记本更换】已处理完成，请到 5 楼领取新设备。提单人：王雪", "T", None),
    ("direct", "审批", "【催办】你名下有 5 条待审批，最久的已停留 3 天", "TI", None),
    ("direct", "审批", "【即将超时】「合同审批-华腾补充协议」需你在今天 18:00 前处理", "TI", "06-11 18:00"),
    ("official", "审批助手", "【催办】钱七催你尽快处理「加班申请」", "TI", None),
    ("official", "审批", "你的「采购申请-显示器」正在钱总处审批", "F", None),
    ("official", "审批助手", "【审批进度】你提交的《服务器采购申请》当前在 财务部-钱七 处审批，已停留3天", "F", None),
    ("official", "铁路12306", "您购买的 6 月 14 日 G102 次列车因故停运，请及时办理改签或退票", "T", None),
    ("official", "审批", "你提交的「付款申请」被钱总驳回，意见：合同编号填错了，改完重新提交", "TI", None),  # redo it
    ("official", "审批", "你提交的「团建费用申请」被驳回，原因：超出人均标准", "I", None),
    ("official", "日程助手", "钱总邀请你参加「Q3 规划讨论」6 月 13 日 14:00，请回复是否参加", "TM", None),
    ("official", "阿里云", "您的域名 example.com 将于 7 天后到期，请及时续费", "F", None),
    ("official", "瑞幸咖啡", "你有一张 4.8 折券即将过期，快来喝一杯吧", "", None),
    ("group", "GitHub", "Review requested from 王雪 on PR #1289", "T", None),
    ("group", "GitLab", "赵四 请求 王雪 评审 Merge Request !88", "T", None),
    ("group", "夜莺", "[P2] order-api 延迟 P99 1.2s @王雪", "T", None),  # an alert's words from a sender not known as a bot
    ("group", "赵四", "@王雪 你写的那篇消费积压排查文档不错，我转给运维组了", "N", None),
    # scams and phishing, and a message about one
    ("direct", "刘总", "我是刘总，这是我新号，有笔款急需转给供应商，请尽快处理", "S", None),
    ("direct", "钱总", "我是钱总，这是我另一个微信，有笔货款你先垫一下", "S", None),
    ("direct", "通行服务", "您的账户已过期失效，请立即登录 xx-renew.cn 认证", "S", None),
    ("direct", "小美", "周年庆饮品 5 折起，点击领券", "", None),
    ("direct", "客服", "您的快递丢失，点击 http://kd.example 领取 3 倍赔偿", "S", None),
    ("direct", "ETC服务", "您的 ETC 卡已失效，请于 24 小时内点击 http://etc-renew.example/k 重新认证", "S", None),
    ("direct", "妈妈", "你帮我看看这个短信是不是诈骗：请点击链接领取积分", "T", None),
    ("direct", "IT服务台", "您的邮箱密码将于今日过期，请立即点击 http://mail-reset.cn 重置", "S", None),
    ("direct", "IT Helpdesk", "Your mailbox is at 99% quota, verify at https://m365-quota.net within 24 hours", "S", None),
    ("group", "人力资源部", "@所有人 高温补贴今日截止申领，请扫码登记银行卡号", "S", None),
    ("direct", "财务部-刘会计", "老板让我核对你的工资卡，麻烦今天把卡号和开户行发我", "S", None),
    ("direct", "赵四", "把你手机收到的验证码发我一下", "S", None),
    ("direct", "钱总", "我换号了，加我新微信 qz888，先给这个账户转 48,000 定金", "S", None),
    ("direct", "Lisa", "最近在做一个项目，带朋友一起做，收益翻倍，要不要了解一下", "S", None),  # gains for whoever joins
    ("direct", "钱总", "小王，我是钱总，这是我私人微信，先别声张，有个急事要你帮忙", "S", None),
    ("direct", "钱总", "你先垫一下保证金 3 万，转到这个账户：6217 0033 **** 5521，回头公司给你报", "S", None),
    ("direct", "人力资源部", "【面谈通知】请于今日 15:00 前点击 https://meeting-tencent.cc/j/88 登录查看安排，逾期视为放弃", "S", None),
    ("group", "信息安全部", "@所有人 有人冒充 IT 服务台发送密码过期链接，收到请勿点击", "", None),
    ("direct", "某客服", "您的退款已受理，请添加退款专员 QQ 3381927 并开启屏幕共享", "S", None),
    ("direct", "行政部", "恭喜您在年会抽奖中获得 iPhone，请扫码支付 29 元运费领取", "S", None),
    ("group", "行政-钱七", "@所有人 年会签到请扫码，入场用", "", None),
    ("direct", "赵四", "staging 密码换了，新的见 https://vault.corp.com/staging", "", None),  # no pressure, no bait
    ("direct", "招商银行", "【招商银行】验证码 381920，请勿泄露给他人", "", None),
    ("direct", "10086", "【中国移动】您的话费余额不足 10 元，请及时充值", "", None),  # a service's number
    ("direct", "金融客服", "您的借呗额度异常，需要配合关闭学生贷款，请下载会议软件共享屏幕", "S", None),
    ("direct", "小雨", "在家动动手指给视频点赞，一单 3 元，当天结算，有兴趣加我吗", "S", None),  # paid small tasks
    ("direct", "猎头-Amy", "您已通过某大厂岗位初筛，进入下一轮前需先缴纳 299 元测评费，名额有限", "S", None),  # a fee first
    ("group", "赵四", "@王雪 团建费每人 200，这周五前转给我", "TI", None),  # a colleague collecting money: no scam
    ("group", "赵四", "@王雪 UI 稿改了，麻烦同步改一下 figma 链接 https://figma.com/file/k2x9", "T", None),
    # meetings: words, times, changes; minutes, comments and the room are none
    ("group", "赵四", "明天 9:30 站会，顺便过一下上线 checklist", "M", None),
    ("direct", "Kate", "Can we do a quick call at 4pm?", "TM", "06-11 16:00"),
    ("group", "赵四", "周二的会改到周三上午", "M", None),
    ("group", "赵四", "周三的联调会挪到周四上午", "M", None),
    ("group", "赵四", "下周的 tech talk 改成线上", "M", None),
    ("group", "赵四", "银行说下周会再改一版接口", "", None),
    ("direct", "赵四", "我下午要跟客户汇报，晚点回你", "F", None),
    ("direct", "钱总", "周五的 1:1 改到下周一", "M", None),
    ("group", "赵四", "@所有人 周四下午 3 点需求评审，请大家参加", "M", None),
    ("direct", "赵四", "明天上午十点的需求评审麻烦你主持一下", "TMI", "06-12 10:00"),
    ("group", "赵四", "会议纪要已发邮件，有问题随时找我", "", None),
    ("group", "赵四", "@所有人 材料放共享盘了，会前看一下", "", None),
    ("group", "赵四", "周五下午 3 点方案对齐，参会：赵四、王雪，链接会前发", "MN", None),
    ("group", "赵四", "评审意见我都改完了", "", None),
    ("group", "赵四", "五楼会议室投影仪维修中，暂停预订", "", None),
    ("group", "赵四", "周四 14:00 在 A502 过一遍根因和改进项", "M", None),  # a time and a place
    ("group", "赵四", "@所有人 下周三下午 2 点部门季度总结会，每个人准备 5 分钟汇报", "TMQ", "06-18 14:00"),
    ("group:华腾对接群", "华腾-蔡总", "仓库周三有检查，现场那次挪到周四，还是九点半", "M", None),
    ("direct", "赵四", "下周二上午 10 点帮忙面一个后端候选人", "TM", "06-17 10:00"),
    ("direct", "孙七", "候选人明天下午两点到，二面你来面一下", "TM", "06-12 14:00"),
    ("direct", "赵四", "周四下午 5 点，楼下咖啡厅", "M", None),  # a time and a place to meet
    ("group:华腾对接群", "华腾-小林", "下周二上午欢迎你们来我们公司看一下新产线，王工", "TM", None),  # a customer invites
    ("official", "日程", "晋升答辩 6 月 15 日 10:00 3 楼大会议室，请提前准备述职材料", "TMI", None),  # the user's review
    ("group:管理层", "钱总", "下周一上午公司战略研讨，王雪讲一下二季度的交付规划", "TMI", None),  # a part named to the user
    ("direct", "赵四", "下周三下午两点开家长会，你能去吗", "TM", None),  # a gathering named by its purpose, at an hour
    ("direct", "赵四", "儿子明天开家长会，你能去吗？", "T", None),
    ("group", "赵四", "细节明天站会说", "", None),  # a meeting named in passing
    ("group", "赵四", "钱总今天在客户那开会，有事先找我", "", None),  # someone else's meeting
    ("group", "赵四", "明天的会地方换了，改到一楼东侧小会议室，时间不变", "M", None),
    ("group", "赵四", "周四下午周会的会议室被占了，改到 15 楼大会议室", "M", None),  # a room, but the meeting moves
    ("group", "赵四", "@钱七 搞定了跟我说一声，我周五要跟钱总汇报进度", "", None),  # the sender's own event
    ("group", "赵四", "@王雪 我约了周五上午十点的方案评审，你准备一下", "TM", None),  # scheduled for others
    ("group", "赵四", "@所有人 明天上午十点在二楼会议室开验收预备会，各单位负责人带上部署文档", "TMQ", None),  # a role's part
    ("group:华腾对接群", "华腾-林经理", "王工，下周一市领导来检查，周日晚上你们安排人现场值守", "TI", None),  # work on site
    ("direct", "猎头-Amy", "有个架构师的机会，方便聊聊吗", "T", None),  # a talk without a time
    ("direct", "赵四", "周五下午有个技术分享，你有空就来听听，不用准备", "M", None),  # optional
    ("group", "赵四", "这周的迭代回顾会改成文档异步回顾，大家周五前在文档里写一下", "TMQ", "06-13 18:00"),
    ("group", "Anna", "Notes from today's call are in the shared doc.", "", None),
    ("group", "赵四", "我刚开会回来，刚才谁找我？", "", None),
    ("group", "赵四", "今天开会的录屏在云盘里", "", None),
    ("direct", "赵四", "下季度起 on-call 由你牵头", "I", None),  # no call
    ("direct", "12306", "您购买的 G123 次列车 6 月 20 日 08:00 开", "", None),
    # what matters today
    ("direct", "赵四", "物业费该交了，你转一下，2380", "TI", None),
    ("direct", "赵四", "这周的周报你再改一下", "T", "06-13 18:00"),  # a work keyword ranks it, no more
    ("direct", "陈总", "那个实习生的转正你怎么看？", "T", None),
    ("direct", "钱总", "你找时间跟新来的架构师对接一下", "T", None),
    ("direct", "钱总", "你申请的两个 HC 我批了", "I", None),
    ("direct", "赵四", "你的借款已经冲账完了", "", None),
    ("group", "赵四", "跟业务对齐过了，这个功能这期不做了", "I", None),
    ("group", "赵四", "@所有人 生产大量订单超时，先暂停发布", "IN", "06-11 15:00"),
    ("group", "赵四", "@所有人 今晚 22:00 打印服务切换，约 10 分钟不可用", "", None),
    ("direct", "陈总", "华腾的报价单今晚发给客户前先给我过目", "TI", "06-11 22:00"),
    ("group", "赵四", "华腾的合同法务已经审完了，今天走盖章", "", None),
    ("group", "赵四", "我们准备向上投诉了，这个问题拖了一周还没解决！", "I", None),
    ("group", "赵四", "公司决定下月起实行弹性工作制", "I", None),
    ("direct", "赵四", "儿子发烧了 38.9 度，我带他去医院了", "IN", "06-11 15:00"),
    # what is at stake comes now: an emergency or "now" is due at the message's own time
    ("direct", "妈妈", "你爸刚才摔了一跤，现在在医院，你方便回个电话吗", "TI", "06-11 15:00"),
    ("group", "赵四", "【紧急】客户 CEO 已经打电话到我们 VP 了，@王雪 请立即介入", "TI", "06-11 15:00"),
    ("group", "赵四", "@所有人 P0：支付成功率掉到 82%", "IN", "06-11 15:00"),
    ("direct", "钱总", "刚才会上定了，你那个项目下个月并入中台", "I", None),
    ("direct", "法务-孙七", "客户法务不同意这份协议，第 7 条责任上限要改", "I", None),
    ("group", "赵四", "官网 CMS 宕机了，在修", "", None),
    ("group", "赵四", "@王雪 线程数一直在涨，已经 1800 多了，你看要不要先重启", "TI", "06-11 15:00"),
    ("group", "赵四", "@王雪 生产库主从延迟越来越大，现在已经 300 秒了", "TI", "06-11 15:00"),  # a number growing worse
    ("group", "赵四", "雪姐雪姐在吗？？急！！生产上收费的退费接口 500 了，收费处现在退不了费", "TI", "06-11 15:00"),
    ("direct", "赵四", "复制中断查了，是从库一块盘坏了，备件明天才到", "IN", "06-11 15:00"),  # the sender found the cause
    ("group", "赵四", "测试库被人误删了，所有联调都停了", "IN", "06-11 15:00"),  # a whole team's work stopped
    ("group", "赵四", "回归测试跑完了，47 个用例挂了 3 个，都是老问题，已经提单", "", None),
    ("group:华腾对接群", "华腾-小林", "王工，那 6 台服务器厂家缺货，交期要往后推两周，您看能不能接受？", "TI", None),
    ("group", "赵四", "医院刚通知，上线从 18 号提前到 15 号，院长定的", "I", None),  # a project's date moved
    ("direct", "赵四", "省医院那个标没中，被人拿走了", "I", None),
    ("direct", "赵四", "雪姐，先跟你说一声，我已经拿到别家 offer 了，月底前会提离职", "IN", None),  # the team's people
    ("group", "赵四", "今年优秀员工部门推荐了王雪和钱七，公司下周定", "IF", None),
    ("group", "赵四", "经公司研究决定，从下月起由王雪同志兼任技术负责人", "IN", None),  # an appointment, no task
    ("direct", "赵四", "雪姐，医院说那个需求下周再定，我们先不动，等他们消息", "F", None),  # 雪姐 is no relative
    ("group:华腾对接群", "华腾-林经理", "书面说明收到，写得挺清楚。这事先这样，后面注意监控", "", None),  # settled
    ("group", "赵四", "@钱七 合同写的是 15 号前到货，延期要按合同扣违约金", "", None),  # between others
    ("official", "招商银行", "您本期账单应还 ¥8,436.52，到期还款日 11 月 25 日，请按时还款", "IF", None),  # money owed
    ("official", "中国移动", "您本月话费账单 ¥128.00 已自动扣款成功", "", None),  # a bill already paid
    ("official", "招商银行", "您尾号 6621 的信用卡消费 ¥38.00，商户：瑞幸咖啡", "", None),  # a receipt
    ("direct", "钱总", "外包那个合同续签我批了，按原价续一年", "I", None),
    ("direct", "房东", "小王，明天中午之前续租合同签一下，电子版发你了", "TI", None),  # a contract to see to
    ("group", "赵四", "@所有人 绩效自评周五下班前必须在 OA 提交，逾期按不合格处理", "TIQ", None),
    ("group", "赵四", "@所有人 年会节目报名开始啦，请各部门负责人周三前报给我", "", None),  # a role's leisure
    ("group", "赵四", "昨晚的 gitlab 故障已经处理完了，原因是磁盘满", "", None),
    ("group:华腾对接群", "华腾-陈总", "我们已经正式发函，要求贵司本周内给出书面整改报告", "I", None),
    ("group:华腾对接群", "华腾-林经理", "你们再这样我们就要走法律程序了", "I", None),
    ("group", "赵四", "@王雪 你提的扩容申请老板批了", "IN", None),
    ("direct", "华腾-陈国栋", "王工，今天的问题原因查到了吗？我们老总在问", "TI", "06-11 18:00"),
    ("group:华腾对接群", "华腾-蔡总", "二期费用我们董事会通过了，就按上次的报价签", "I", None),
    ("group", "赵四", "@所有人 代发银行切换，这个月的绩效奖金要晚几天", "I", None),
    ("group", "赵四", "@所有人 上次安全考试未通过的同事，请本周内补考", "", None),
    ("group", "赵四", "公司决定今年年会延期到 3 月举办", "", None),
    ("group", "赵四", "Code review 注意幂等，上次线上重复扣款就是这个原因", "", None),
    ("group", "赵四", "@所有人 请大家今天下班前更新一下 wiki 上的任务进度", "TQ", "06-11 18:00"),
    ("direct", "钱总", "周五下午四点咱俩做个1:1，聊聊下半年的规划", "M", None),
    ("group", "赵四", "站会改到 10 点，我早上要去医院", "M", None),
]


def event(kind, sender, text, at=AT, number=1):
    kind, _, session = kind.partition(":")  # "group:华腾对接群" names the group
    return Event(number, "wecom", session or (sender if kind != "group" else "项目群"), kind, sender, at, text)


class SortingTests(unittest.TestCase):
    def test_representative_messages(self):
        """Each message's flags and deadline; its sorting as stored and read back, and on the wire."""
        profile = Profile.from_config({"user_profile": USER, "notification_keywords": ["周报", "合同"]})
        for kind, sender, text, flags, due in MESSAGES:
            with self.subTest(text=text):
                s = sort_message(event(kind, sender, text), profile)
                got = "".join(f for f, on in zip("TMIFS", (s.todo, s.meeting, s.important, s.follow_up, s.suspicious))
                              if on)
                self.assertEqual(got, flags.replace("N", "").replace("Q", ""))
                self.assertEqual(decide.needs_user(s), ("T" in flags or "N" in flags) and "Q" not in flags)
                if due is not None:
                    self.assertEqual(dt.datetime.fromtimestamp(s.due).astimezone().strftime("%m-%d %H:%M")
                                     if s.due else "-", due)
                self.assertEqual(stored.decode(stored.encode(s)), s)
                doc = wire.sorting_to_wire(s, done=False, excluded="S" in flags, at=AT)
                self.assertEqual("".join(f for f, key in zip("TMIFS", ("todo", "meeting", "important", "follow_up",
                                                                      "suspicious")) if doc[key]), got)
                self.assertEqual(doc["excluded"], "S" in flags)
                if s.due:
                    self.assertEqual(dt.datetime.fromisoformat(doc["due"]).timestamp(), s.due)
                    self.assertEqual(doc["due"][-6:], AT.isoformat()[-6:])  # in the message's own zone

    def test_a_scam_is_in_no_list_whatever_the_rules_saw(self):
        s = Sorting(todo=True, meeting=True, important=True, follow_up=True, mine=True, suspicious=True, due=AT.timestamp())
        doc = wire.sorting_to_wire(s, done=False, excluded=False, at=AT)
        self.assertEqual([key for key, value in doc.items() if value is True], ["suspicious"])
        self.assertNotIn("due", doc)
        events = [event("direct", "刘总", "我是刘总，有笔款急需转给供应商", AT, 1), event("direct", "赵四", "今天把报价发我", AT, 2)]
        digest = Digest(events, {"user_profile": USER}, sortings=[kinds.for_lists(s), Sorting(todo=True, mine=True)])
        self.assertEqual(digest.todos, [events[1]])
        self.assertEqual((digest.important, digest.mine, digest.meetings), ([], [events[1]], []))

    def test_the_rules_version_covers_every_rule_module(self):
        names = {path.name for path in stored.rule_sources()}
        self.assertLessEqual({"sorting.py", "words.py", "meetings.py", "deadline.py", "patterns.py", "classify.py"}, names)
        self.assertNotIn("digest.py", names)  # assembling lists decides no message's sorting
        self.assertEqual(stored.decode((None,) * (len(stored.COLUMNS) - 1)), Sorting())  # columns added later

    def test_what_a_new_list_shares_with_the_last_is_carried_over(self):
        held = [event("group", "赵四", f"第 {n} 条：合同 V{n}", AT - dt.timedelta(minutes=n), n) for n in range(6)]
        new = event("group", "钱七", "新的合同", AT + dt.timedelta(minutes=1), 9)
        cases = [  # (last list, new list, (new in front, kept) or None: worked out afresh)
            (held[:5], held[:5], (0, 5)), (held[:5], [new] + held[:4], (1, 4)), (held[:5], held[:3], (0, 3)),
            (held[:5], [new] + held[1:5], None), (held[1:5], held[:5], (1, 4)), ([], held, None),
            (held[:5], held[:2] + held[3:5], None),
            (held[:5], [held[1], held[0]] + held[2:5], None),
        ]
        for number, (old, new_list, expected) in enumerate(cases):
            with self.subTest(case=number):
                self.assertEqual(week._carried(old, new_list), expected)
        counted = []
        keys = lambda e: counted.append(e) or e.id  # noqa: E731
        lists = [EventList(held[:5]), EventList([new] + held[:4])]
        computes = week.Week()
        self.assertEqual([computes._derived(found, "keys", None, keys) for found in lists], [[0, 1, 2, 3, 4], [9, 0, 1, 2, 3]])
        self.assertEqual(counted, held[:5] + [new])  # each message worked out once
        finders = [computes.finder(found) for found in lists]
        self.assertEqual(finders[1].keys(), Finder(lists[1], [message_key(e) for e in lists[1]]).keys())
        self.assertEqual([e.id for e in finders[1].find(query_key("合同 v"), 10)], [0, 1, 2, 3])

    def test_what_ranks_a_message(self):
        # U urgent (due at once), K at stake, S a boss or a customer asks, B a broadcast
        cases = [("direct", "妈妈", "你爸刚才摔了一跤，现在在医院，你方便回个电话吗", "UK"),
                 ("direct", "赵四", "你马上看下这个 PR", "U"),
                 ("direct", "赵四", "你先看下这个 PR，不急", ""),
                 ("group", "赵四", "@所有人 周六 0:00-4:00 机房网络割接，期间服务不可用", "KB"),  # planned: no emergency
                 ("group:华腾对接群", "华腾-蔡总", "二期费用我们董事会通过了，就按上次的报价签", "KS"),
                 ("group", "赵四", "王工，接口文档什么时候能给到我们？", "S"),  # as customers call the user
                 ("direct", "钱总", "这周我们必须把修复交付给客户", "S"),
                 ("group", "赵四", "@所有人 大家周五前把周报更新一下", "B")]
        profile = Profile.from_config({"user_profile": USER})
        for kind, sender, text, flags in cases:
            with self.subTest(text=text):
                s = sort_message(event(kind, sender, text), profile)
                got = "".join(f for f, on in zip("UKSB", (s.urgent, s.stakes, s.senior, s.everyone)) if on)
                self.assertEqual(got, flags)
                self.assertEqual(s.due == AT.timestamp(), s.urgent)

    def test_dates_across_the_year_end(self):
        profile = Profile.from_config({"user_profile": USER})
        cases = [("2026-12-20", "王雪，1月5日前把报价单发我", "2027-01-05"),
                 ("2027-03-10", "王雪，2月29日前把报价单发我", "2028-02-29"),
                 ("2028-03-10", "王雪，2月29日前把报价单发我", None)]  # 2029 has no 29 February
        for sent, text, due in cases:
            with self.subTest(sent=sent):
                at = dt.datetime.fromisoformat(sent + " 10:00").astimezone()
                s = sort_message(event("direct", "赵四", text, at), profile)
                self.assertEqual(dt.datetime.fromtimestamp(s.due).date().isoformat() if s.due else None, due)

    def test_most_pressing_first(self):
        messages = [("赵四", "@王雪 有空看下这个 PR"), ("赵四", "@王雪 周五前把方案发我"), ("赵四", "@王雪 今天下班前回复我"),
                    ("赵四", "@王雪 这个接口再确认一下"), ("赵四", "@王雪 周五前把排期发我"),
                    ("赵四", "@所有人 大家周四前把周报更新一下"), ("钱总", "@王雪 下个版本的范围你定一下"),
                    ("赵四", "@王雪 支付全部失败了，马上回滚")]
        events = [event("group", sender, text, AT - dt.timedelta(minutes=i), i) for i, (sender, text) in enumerate(messages)]
        digest = Digest(events, {"user_profile": USER, "notification_keywords": ["接口"]})  # newest first, as the core hands them over
        # now, then by deadline (equal ones newest first), then the boss or a work keyword, then the newest;
        # the broadcast last
        order = [7, 2, 1, 4, 3, 6, 0, 5]
        self.assertEqual([e.display_text for e in digest.todos], [messages[i][1] for i in order])
        self.assertEqual(digest.summary()["action_items"][0].rsplit("：", 1)[1], messages[7][1])
        # what is at stake (the outage) before the routine (a deadline today, the boss's request)
        self.assertEqual([e.display_text for e in digest.important], [messages[i][1] for i in (7, 2, 6)])
        sortings = dict(zip((e.id for e in events), digest.sortings))
        lines = [answers._line(events[i], sortings[i]) for i in (7, 2)]  # now: no deadline at the time it was sent
        self.assertEqual([lines[0].endswith("马上回滚（立即）"), lines[1].endswith(" 18:00）")], [True, True], lines)

    def test_the_rule_answers_find_whole_names(self):
        names = ["王雪", "Snow"]
        for text, named in (("王雪，会议改到三点", True), ("欢迎王雪琪加入", False), ("snow, the call moved", True),
                            ("Snowball 的会取消了", False), ("@我 会议改了", True)):
            with self.subTest(text=text):
                self.assertIs(classify.mentions(text, names), named)

    def test_names_in_latin_letters_and_where_a_name_addresses(self):
        # (display name, text in a group, a to-do for the user); the name's Latin letters come from ICU
        cases = [("王雪", "Hi Wang Xue, pls check the build", True), ("王雪", "wangxue could you check the build?", True),
                 ("王雪", "Xue, can you check the build?", True), ("王雪", "Xuelin, can you check the build?", False),
                 ("王雪", "Can you check the build, Xue Wang?", True), ("王雪", "Ask Xue about the build", False),
                 ("欧阳娜娜", "Ouyang Nana, could you check the build?", True), ("欧阳娜娜", "Nana, could you check it?", True),
                 ("欧阳娜娜", "Yang Na, could you check the build?", False),
                 ("王雪", "方便的话把接口文档再发一版，谢谢雪姐～", True), ("王雪", "接口文档的事找王雪", False),
                 ("王雪", "雪姐雪姐在吗？？帮忙看下日志", True), ("王雪", "@王雪（乐乐妈妈） 明天记得带水彩笔", True)]
        for name, text, todo in cases:
            with self.subTest(text=text):
                profile = Profile.from_config({"user_profile": {"display_name": name}})
                self.assertIs(sort_message(event("group", "Kate", text), profile).todo, todo)
        saved = pinyin.have_icu
        try:  # without ICU only the names as typed count
            pinyin.have_icu = lambda: False
            pinyin.syllables.cache_clear()
            profile = Profile.from_config({"user_profile": {"display_name": "王雪"}})
            self.assertFalse(sort_message(event("group", "Kate", "Hi Wang Xue, pls check the build"), profile).todo)
            self.assertTrue(sort_message(event("group", "Kate", "王工，pls check the build"), profile).todo)
        finally:
            pinyin.have_icu = saved
            pinyin.syllables.cache_clear()

    def test_clauses_end_at_punctuation_and_at_a_space_between_chinese_words(self):
        cases = [("周六那顿改周日晚上行不 我周六要加班", 2), ("把 PRD 发我，今天要", 2), ("Hi Li Ming, pls check", 2),
                 ("小李 这个告警你看一下", 2), ("a，b。c", 3), ("", 1)]
        for text, count in cases:
            with self.subTest(text=text):
                found = patterns.clauses(text)
                self.assertEqual(len(found), count)
                self.assertEqual("".join(found).replace("\n", ""), text)

    def test_aliases_split_on_lines_commas_and_pauses(self):
        for typed in ("小李, 明哥，老李、Leo\n小李", ["小李,明哥", " 老李、Leo "]):
            with self.subTest(typed=typed):
                config = apply_payload(default_config(), {"user_profile": {"aliases": typed}})
                self.assertEqual(config["user_profile"]["aliases"], ["小李", "明哥", "老李", "Leo"])


if __name__ == "__main__":
    unittest.main()
