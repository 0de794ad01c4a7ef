"""A busy week of WeChat and WeCom messages for the core's benchmark, stored through message_db.

50 chats (groups and one-to-one, WeChat and WeCom mixed), Chinese texts built from parts that carry
to-do, meeting and important words, digits that change (times, amounts, counts) and the user's
names now and then, spread over the 7 days before `now`, oldest first.  Seeded: the same count and
seed give the same messages.
"""

from __future__ import annotations

import datetime as dt
import random

GROUPS = ["项目群", "运维值班群", "产品评审会", "销售周会", "客户对接群", "行政通知", "财务报销群", "技术分享群",
          "前端小组", "后端小组", "测试小组", "市场部", "招聘协作群", "采购对接群", "华东区域群", "大学同学群",
          "家人群", "羽毛球群", "读书会", "小区业主群", "亲戚群", "跑步打卡群", "校友会", "宝妈交流群",
          "周末徒步群", "年会筹备组", "安全应急群", "供应商沟通群", "数据平台群", "设计评审群", "OKR 对齐群",
          "新人培训群", "法务合规群", "海外业务群", "投融资群"]
DIRECTS = ["陈总", "刘洋", "孙丽", "张三", "老周", "房东张姐", "教练小刘", "物业客服", "林经理", "王芳",
           "赵敏", "吴磊", "小雨", "招商银行", "菜鸟驿站"]
PEOPLE = ["张三", "李四", "王芳", "赵敏", "周强", "吴磊", "林经理", "孙丽", "刘洋", "陈总", "小陈", "老王", "阿杰",
          "小雨", "郑凯", "何静", "马超", "冯婷", "许亮", "韩梅", "宋涛", "唐宁", "曹阳", "彭丽", "袁飞", "邓超"]
OFFICIAL = {"招商银行", "菜鸟驿站", "物业客服"}
OPENERS = ["", "", "", "@李明 ", "@Leo ", "明哥，", "@所有人 ", "通知：", "[3条]", "提醒："]
BODIES = [
    "麻烦确认一下接口文档第 {n} 节的字段定义，今天下班前回复。",
    "请明天下午 {h} 点前提交本周周报，记得补充测试结论。",
    "腾讯会议：今天 {h}:30 故障复盘会，会议号 736 220 {n}，请相关同学参会。",
    "本周例会改到周四上午 {h}:00，在 {n} 号会议室。",
    "合同第 {n} 版已发邮箱，麻烦尽快审批。",
    "报销单据截止周五 {h}:00，请于本周内补齐。",
    "我已经跟进处理了昨晚的告警，正在观察。",
    "稍后跟进一下客户的报价，周{d}前给我回复。",
    "会议纪要：评审结论已同步到文档，下周一前各模块负责人补充排期。",
    "今晚 {h} 点发布窗口，值班同学请保持在线。",
    "收到，谢谢！",
    "好的，没问题。",
    "周末回家吃饭吗？",
    "明晚 {h} 点羽毛球，有没有人参加？",
    "这个月房租请在 {n} 号前转账，谢谢。",
    "您的快递已到驿站，取件码 6-2-{n}，请及时领取。",
    "公告：本周{d}上午 9:00-12:00 停水，请提前储水。",
    "第 {n} 季度的数据看板已经更新，大家有空看看。",
    "需求评审放在周{d} {h}:00，参会名单：张三、李明、王芳。",
    "这个 bug 复现了 {n} 次，需要后端一起排查。",
    "年会报名开始，收到即可。",
    "客户反馈第 {n} 条问题已经修复，待确认。",
    "请大家有空填一下问卷，无需回复。",
    "[图片]",
    "[语音] 0:{n}",
    "晚上一起吃饭？我订了 {n} 人的位置。",
]
DAYS = "一二三四五六日"


def messages(count: int, now: dt.datetime, seed: int = 7):
    """(at, chat_target, session_name, session_kind, sender_name, content, content_type), oldest first."""
    rng = random.Random(seed)
    chats = []
    for index, name in enumerate(GROUPS + DIRECTS):
        target = "wecom" if index % 5 in (0, 1, 3) else "wechat"
        kind = "official" if name in OFFICIAL else ("group" if name in GROUPS else "direct")
        chats.append((target, name, kind))
    weights = [1.0 / (1 + i % 12) for i in range(len(chats))]  # a few busy chats, many quiet ones
    start = now - dt.timedelta(days=7) + dt.timedelta(minutes=5)
    span = (now - start).total_seconds()
    stamps = sorted(rng.random() * span for _ in range(count))
    out = []
    for offset in stamps:
        target, session, kind = rng.choices(chats, weights)[0]
        sender = rng.choice(PEOPLE) if kind == "group" else session
        body = rng.choice(BODIES).format(n=rng.randint(1, 99), h=rng.randint(8, 22), d=rng.choice(DAYS))
        content = (rng.choice(OPENERS) if kind != "official" else "") + body
        ctype = "image" if body == "[图片]" else "voice" if body.startswith("[语音]") else "text"
        out.append((start + dt.timedelta(seconds=offset), target, session, kind, sender, content, ctype))
    return out


def fill(folder, count: int, now: dt.datetime, seed: int = 7, log=lambda line: None) -> int:
    """Stores `count` messages in folder/msgrelay.db through message_db, as a capture would."""
    from msgrelay.message_db import MessageDB, NewMessage

    db = MessageDB(folder, log=log)
    if not db.writable:
        raise RuntimeError(f"cannot write {db.path}: {db.error}")
    stored = 0
    try:
        for at, target, session, kind, sender, content, ctype in messages(count, now, seed):
            app = "企业微信" if target == "wecom" else "微信"
            if db.insert(NewMessage(at, target, session, kind, sender, content, ctype, app, "notify")) is not None:
                stored += 1
    finally:
        db.close()
    return stored
