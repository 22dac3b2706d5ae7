// Splitting the mall's addresses into province, city and district.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "waybill/address_split.h"

namespace {

using waybill::split_address;

std::string parts(std::string_view address) {
  std::string why;
  const auto a = split_address(address, &why);
  return a ? a->province + "|" + a->city + "|" + a->district + "|" + a->rest : "refused: " + why;
}

TEST(AddressSplit, ProvincesRegionsMunicipalitiesAndCountyLevelCities) {
  EXPECT_EQ(parts("浙江省 杭州市 西湖区 文三路 398号 东信大厦5楼"),
            "浙江省|杭州市|西湖区|文三路 398号 东信大厦5楼");
  EXPECT_EQ(parts("浙江省杭州市西湖区文三路398号"), "浙江省|杭州市|西湖区|文三路398号");
  EXPECT_EQ(parts("浙江杭州市临平区南苑街道"), "浙江省|杭州市|临平区|南苑街道");
  EXPECT_EQ(parts("浙江省 金华市 义乌市 稠城街道"), "浙江省|金华市|义乌市|稠城街道");
  EXPECT_EQ(parts("内蒙古自治区 呼和浩特市 新城区 1号"), "内蒙古自治区|呼和浩特市|新城区|1号");
  EXPECT_EQ(parts("广西壮族自治区南宁市青秀区民族大道"), "广西壮族自治区|南宁市|青秀区|民族大道");
  EXPECT_EQ(parts("新疆维吾尔自治区 乌鲁木齐市 天山区 2号"),
            "新疆维吾尔自治区|乌鲁木齐市|天山区|2号");
  EXPECT_EQ(parts("上海市 上海市 浦东新区 张江路 665号"), "上海市|上海市|浦东新区|张江路 665号");
  EXPECT_EQ(parts("上海市浦东新区张江路665号"), "上海市|上海市|浦东新区|张江路665号");
  EXPECT_EQ(parts("重庆市 重庆市 城口县 葛城街道"), "重庆市|重庆市|城口县|葛城街道");
  EXPECT_EQ(parts("北京市　北京市　朝阳区　三里屯 "), "北京市|北京市|朝阳区|三里屯");
  EXPECT_EQ(parts("广东省 东莞市 长安镇 振安路"), "广东省|东莞市|长安镇|振安路");
  EXPECT_EQ(parts("湖北省 仙桃市 干河街道 1号"), "湖北省|仙桃市|干河街道|1号");
  // 吉林省's city 吉林市: the province is read whole before its short name.
  EXPECT_EQ(parts("吉林省吉林市昌邑区1号"), "吉林省|吉林市|昌邑区|1号");
}

TEST(AddressSplit, WhatCannotBeSplitForCertainIsRefused) {
  for (const char* address : {"", "   ", "杭州市 西湖区 文三路",  // no province
                              "浙江省 苏州市 姑苏区 1号",         // a city of another province
                              "浙江省 杭州市 姑苏区 1号",         // a district of another city
                              "浙江省 义乌市 稠城街道",           // the city left out
                              "上海市 上海市 张江路 665号"}) {    // no district
    std::string why;
    EXPECT_FALSE(split_address(address, &why)) << address;
    EXPECT_THAT(why, testing::StartsWith("地址分不出省市区：")) << address;
  }
}

}  // namespace
