#include "platform/metabase/DefaultMetabase.h"

namespace metabase {
namespace {

// Adds properties to one key in the order the reader expects to see them.
class KeyWriter {
 public:
  explicit KeyWriter(Key& key) : key_(key) {}

  KeyWriter& Text(DWORD id, std::u16string_view value, DWORD userType = IIS_MD_UT_SERVER,
                  DWORD attributes = METADATA_NO_ATTRIBUTES) {
    return Set(id, STRING_METADATA, attributes, userType, EncodeString(value));
  }
  KeyWriter& Number(DWORD id, DWORD value, DWORD userType = IIS_MD_UT_SERVER,
                    DWORD attributes = METADATA_NO_ATTRIBUTES) {
    return Set(id, DWORD_METADATA, attributes, userType, EncodeDword(value));
  }
  KeyWriter& List(DWORD id, const std::vector<std::u16string>& values, DWORD userType,
                  DWORD attributes) {
    return Set(id, MULTISZ_METADATA, attributes, userType, EncodeMultiString(values));
  }

 private:
  KeyWriter& Set(DWORD id, DWORD dataType, DWORD attributes, DWORD userType,
                 std::vector<uint8_t> data) {
    key_.SetProperty(MakeProperty(id, dataType, attributes, userType, std::move(data)));
    return *this;
  }

  Key& key_;
};

const std::u16string kInetsrv = u"C:\\WINDOWS\\system32\\inetsrv\\";
const std::u16string kAspNet = u"C:\\WINDOWS\\Microsoft.NET\\Framework\\v2.0.50727\\";

std::vector<std::u16string> ScriptMaps() {
  const std::u16string asp = kInetsrv + u"asp.dll,5,GET,HEAD,POST,TRACE";
  const std::u16string ssinc = kInetsrv + u"ssinc.dll,5,GET,POST";
  const std::u16string aspnet = kAspNet + u"aspnet_isapi.dll,1,GET,HEAD,POST,DEBUG";
  return {u".asp," + asp,
          u".cer," + asp,
          u".cdx," + asp,
          u".asa," + asp,
          u".idc," + kInetsrv + u"httpodbc.dll,5,GET,POST",
          u".shtm," + ssinc,
          u".shtml," + ssinc,
          u".stm," + ssinc,
          u".aspx," + aspnet,
          u".ashx," + aspnet,
          u".asmx," + aspnet};
}

std::vector<std::u16string> RestrictionList() {
  return {u"0,*.dll",
          u"0,*.exe",
          u"1," + kInetsrv + u"asp.dll,0,ASP,Active Server Pages",
          u"0," + kInetsrv + u"httpodbc.dll,0,HTTPODBC,Internet Data Connector",
          u"0," + kInetsrv + u"ssinc.dll,0,SSINC,Server Side Includes",
          u"0," + kInetsrv + u"httpext.dll,0,WEBDAV,WebDAV",
          u"1," + kAspNet + u"aspnet_isapi.dll,1,ASP.NET v2.0.50727,ASP.NET v2.0.50727"};
}

void AddWebService(Key& w3svc, const std::u16string& computerName) {
  KeyWriter(w3svc)
      .Text(MD_KEY_TYPE, u"IIsWebService")
      .Text(MD_DEFAULT_LOAD_FILE, u"Default.htm,Default.asp,index.htm,iisstart.htm", IIS_MD_UT_FILE,
            METADATA_INHERIT)
      .List(MD_SCRIPT_MAPS, ScriptMaps(), IIS_MD_UT_FILE, METADATA_INHERIT)
      .Number(MD_ACCESS_PERM, MD_ACCESS_READ, IIS_MD_UT_FILE, METADATA_INHERIT)
      .Text(MD_ANONYMOUS_USER_NAME, u"IUSR_" + computerName, IIS_MD_UT_FILE, METADATA_INHERIT)
      .Text(MD_WAM_USER_NAME, u"IWAM_" + computerName, IIS_MD_UT_WAM, METADATA_INHERIT)
      .Text(MD_APP_APPPOOL_ID, u"DefaultAppPool", IIS_MD_UT_SERVER, METADATA_INHERIT)
      .List(MD_WEB_SVC_EXT_RESTRICTION_LIST, RestrictionList(), IIS_MD_UT_SERVER,
            METADATA_NO_ATTRIBUTES);
}

void AddGlobalFilters(Key& w3svc) {
  Key& filters = w3svc.AddChild(u"Filters");
  KeyWriter(filters)
      .Text(MD_KEY_TYPE, u"IIsFilters")
      .Text(MD_FILTER_LOAD_ORDER, u"ASP.NET_2.0.50727.0");
  KeyWriter(filters.AddChild(u"ASP.NET_2.0.50727.0"))
      .Text(MD_KEY_TYPE, u"IIsFilter")
      .Text(MD_FILTER_IMAGE_PATH, kAspNet + u"aspnet_filter.dll")
      .Text(MD_FILTER_DESCRIPTION, u"ASP.NET 2.0.50727.0")
      .Number(MD_FILTER_STATE, 1)
      .Number(MD_FILTER_FLAGS, 0x0200A000u);
  KeyWriter(filters.AddChild(u"Compression")).Text(MD_KEY_TYPE, u"IIsFilter");
}

void AddSite(Key& w3svc, const DefaultSite& site) {
  Key& server = w3svc.AddChild(site.id);
  KeyWriter(server)
      .Text(MD_KEY_TYPE, u"IIsWebServer")
      .Text(MD_SERVER_COMMENT, site.comment)
      .Number(MD_SERVER_STATE, 2)
      .Number(MD_SERVER_AUTOSTART, 1)
      .List(MD_SERVER_BINDINGS, {site.bindings}, IIS_MD_UT_SERVER, METADATA_NO_ATTRIBUTES);
  // A website's Filters key has no load order until a filter is added.
  KeyWriter(server.AddChild(u"Filters")).Text(MD_KEY_TYPE, u"IIsFilters");
  const std::u16string appRoot = u"/LM/W3SVC/" + std::u16string(site.id) + u"/ROOT";
  KeyWriter(server.AddChild(u"ROOT"))
      .Text(MD_KEY_TYPE, u"IIsWebVirtualDir")
      .Text(MD_VR_PATH, site.rootPath, IIS_MD_UT_FILE, METADATA_INHERIT)
      .Number(MD_ACCESS_PERM, MD_ACCESS_READ | MD_ACCESS_SCRIPT, IIS_MD_UT_FILE, METADATA_INHERIT)
      .Text(MD_APP_ROOT, appRoot, IIS_MD_UT_WAM, METADATA_INHERIT)
      .Number(MD_APP_ISOLATED, 2, IIS_MD_UT_WAM, METADATA_INHERIT)
      .Text(MD_APP_FRIENDLY_NAME, u"Default Application", IIS_MD_UT_WAM, METADATA_INHERIT)
      .Text(MD_APP_APPPOOL_ID, site.appPool, IIS_MD_UT_SERVER, METADATA_INHERIT);
}

void AddAppPool(Key& pools, const char16_t* name, DWORD identityType) {
  KeyWriter(pools.AddChild(name))
      .Text(MD_KEY_TYPE, u"IIsApplicationPool")
      .Number(MD_APPPOOL_IDENTITY_TYPE, identityType, IIS_MD_UT_SERVER, METADATA_INHERIT);
}

void AddAppPools(Key& w3svc) {
  Key& pools = w3svc.AddChild(u"AppPools");
  KeyWriter(pools)
      .Text(MD_KEY_TYPE, u"IIsApplicationPools")
      .Number(MD_APPPOOL_IDENTITY_TYPE, MD_APPPOOL_IDENTITY_TYPE_NETWORKSERVICE, IIS_MD_UT_SERVER,
              METADATA_INHERIT);
  AddAppPool(pools, u"DefaultAppPool", MD_APPPOOL_IDENTITY_TYPE_NETWORKSERVICE);
  AddAppPool(pools, u"IntranetPool", MD_APPPOOL_IDENTITY_TYPE_SPECIFICUSER);
  KeyWriter(*pools.FindChild(u"IntranetPool"))
      .Text(MD_WAM_USER_NAME, u"IntranetService", IIS_MD_UT_WAM, METADATA_INHERIT);
  AddAppPool(pools, u"ShopPool", MD_APPPOOL_IDENTITY_TYPE_LOCALSERVICE);
}

// The shop runs PHP, mapped at its root only.
void AddShopScriptMaps(Key& w3svc) {
  std::vector<std::u16string> maps = ScriptMaps();
  maps.push_back(u".php,C:\\PHP\\php5isapi.dll,5,GET,HEAD,POST");
  KeyWriter(*w3svc.FindChild(u"3")->FindChild(u"ROOT"))
      .List(MD_SCRIPT_MAPS, maps, IIS_MD_UT_FILE, METADATA_INHERIT);
}

}  // namespace

const std::vector<DefaultSite>& DefaultIis6Sites() {
  static const std::vector<DefaultSite> sites = {
      {u"1", u"Default Web Site", u":80:", u"C:\\Inetpub\\wwwroot", u"DefaultAppPool"},
      {u"2", u"Intranet", u":8080:", u"C:\\Inetpub\\intranet", u"IntranetPool"},
      {u"3", u"Shop", u":80:shop.example.com", u"C:\\Sites\\shop", u"ShopPool"},
  };
  return sites;
}

std::unique_ptr<Key> DefaultIis6Metabase(const std::u16string& computerName) {
  auto root = std::make_unique<Key>(u"");
  Key& lm = root->AddChild(u"LM");
  KeyWriter(lm).Text(MD_KEY_TYPE, u"IIsComputer");
  Key& w3svc = lm.AddChild(u"W3SVC");
  AddWebService(w3svc, computerName);
  AddGlobalFilters(w3svc);
  for (const DefaultSite& site : DefaultIis6Sites()) AddSite(w3svc, site);
  AddAppPools(w3svc);
  AddShopScriptMaps(w3svc);
  return root;
}

}  // namespace metabase
